#pragma once

#include <QLayout>
#include <QList>

namespace korvel::ui {

// Lays its widgets in a row and wraps them onto the next line when the row
// is too narrow, so a bar of buttons never sets the window's smallest width.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places (or only measures) the items within `rect`; returns the height used.
    int arrange(const QRect &rect, bool place) const;

    QList<QLayoutItem *> m_items;
    int m_gap;
};

} // namespace korvel::ui
