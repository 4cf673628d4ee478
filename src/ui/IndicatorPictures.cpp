#include "ui/IndicatorPictures.h"

#include <QPainter>

namespace korvel::ui {
namespace {

QPixmap dot(int side, const QColor &fill, bool withBar) {
    side = std::max(side, 8);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    if (withBar) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(side * 0.25, side * 0.42, side * 0.5, side * 0.16));
    }
    return pixmap;
}

} // namespace

QPixmap actuatorNormalPicture(int side) {
    return dot(side, QColor(40, 160, 60), false);
}

QPixmap actuatorOverriddenPicture(int side) {
    return dot(side, QColor(230, 140, 20), true);
}

} // namespace korvel::ui
