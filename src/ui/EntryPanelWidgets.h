#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace korvel {
class TableEditorController;
}

namespace korvel::ui {

// `gr1d`: one value, typed into `Edit78` and written on Enter.
class SingleValuePanel : public QWidget {
    Q_OBJECT
public:
    explicit SingleValuePanel(TableEditorController &editor, QWidget *parent = nullptr);
    void refresh();

private:
    TableEditorController &m_editor;
    QLineEdit *m_value = nullptr;
    QLabel *m_previous = nullptr;
    QLabel *m_minimum = nullptr;
    QLabel *m_maximum = nullptr;
    QLabel *m_comparison = nullptr;
    QLabel *m_comparisonCaption = nullptr;
};

// `flags`: the named bits of eight flag bytes; a click writes all eight bytes.
class FlagPanel : public QWidget {
    Q_OBJECT
public:
    explicit FlagPanel(TableEditorController &editor, QWidget *parent = nullptr);
    void refresh();

private:
    TableEditorController &m_editor;
    std::array<QLabel *, 8> m_groups{};
    std::array<QCheckBox *, 64> m_boxes{};
};

// `ident`: the identification texts of the image, one line each.
class IdentPanel : public QWidget {
    Q_OBJECT
public:
    explicit IdentPanel(TableEditorController &editor, QWidget *parent = nullptr);
    void refresh();

private:
    TableEditorController &m_editor;
    std::array<QLabel *, 8> m_lines{};
};

} // namespace korvel::ui
