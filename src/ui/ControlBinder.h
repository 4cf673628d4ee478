#pragma once

#include <QObject>

namespace korvel {
class ControlBoard;
}

namespace korvel::ui {

// Applies the core's control states to the widgets and actions of the same
// object name under `root`.
class ControlBinder : public QObject {
    Q_OBJECT
public:
    ControlBinder(ControlBoard &board, QObject *root, QObject *parent = nullptr);
    void applyAll();

private:
    void apply(const QString &name);

    ControlBoard &m_board;
    QObject *m_root;
};

} // namespace korvel::ui
