#include "ui/TableCellDelegate.h"

#include "editor/TableGridModel.h"

#include <QPainter>

#include <QPolygon>
#include <algorithm>

namespace korvel::ui {
namespace {

// Differing cells: a magenta frame and corner, apart from every heat colour.
const QColor kDifferentColour(200, 0, 200);
// The working point: a thick dark outline, the trail fainter as it ages.
const QColor kWorkingPointColour(0, 0, 90);
constexpr int kDifferentCorner = 7;

} // namespace

void TableCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const QVariant heat = index.data(TableGridModel::HeatRole);
    if (!heat.isValid() || (option.state & QStyle::State_Selected)) {
        QStyledItemDelegate::paint(painter, option, index);
    } else {
        painter->fillRect(option.rect, QColor::fromRgb(static_cast<QRgb>(heat.toInt())));
        painter->setPen(Qt::black);
        painter->drawText(option.rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
    }
    painter->save();
    if (index.data(TableGridModel::DifferentRole).toBool()) {
        painter->setPen(QPen(kDifferentColour, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
        const QPoint corner = option.rect.topRight();
        painter->setPen(Qt::NoPen);
        painter->setBrush(kDifferentColour);
        painter->drawPolygon(
            QPolygon{corner, corner + QPoint(-kDifferentCorner, 0), corner + QPoint(0, kDifferentCorner)});
    }
    const QVariant point = index.data(TableGridModel::WorkingPointRole);
    if (point.isValid()) {
        const double strength = point.toDouble();
        QColor colour = kWorkingPointColour;
        colour.setAlphaF(static_cast<float>(std::clamp(strength, 0.0, 1.0)));
        // The current cell gets the thickest line; the trail thinner.
        painter->setPen(QPen(colour, strength >= 1.0 ? 4 : 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(2, 2, -2, -2));
    }
    painter->restore();
}

} // namespace korvel::ui
