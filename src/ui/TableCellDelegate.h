#pragma once

#include <QStyledItemDelegate>

namespace korvel::ui {

// The cells of the editor's grid (`StringGrid4DrawCell`): the heat-map fill
// with the text at (left + 5, top), selected cells and cells without a colour
// in the default drawing; over that a frame on cells that differ from the
// drawn comparison firmware and the outline of the engine's working point
// with its fading trail.
class TableCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace korvel::ui
