#include "ui/CatalogIcons.h"

#include "firmware/MapTreeModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvel::ui {
namespace {

constexpr int kSize = 16;

void drawFolder(QPainter &p, QColor colour) {
    p.setBrush(colour.darker(115));
    p.drawRect(QRectF(1.5, 3.5, 6, 2));
    p.setBrush(colour);
    p.drawRect(QRectF(1.5, 5.5, 13, 8));
}

void drawCurve(QPainter &p) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    QPainterPath line;
    line.moveTo(3, 12);
    line.cubicTo(6, 12, 7, 4, 13, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xC6, 0x28, 0x28), 1.6));
    p.drawPath(line);
}

void drawMap(QPainter &p) {
    const QColor cells[] = {QColor(0x7C, 0xB3, 0x42), QColor(0xFD, 0xD8, 0x35), QColor(0xEF, 0x6C, 0x00),
                            QColor(0xD8, 0x43, 0x15)};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            p.setBrush(cells[(r + c) % 4]);
            p.drawRect(QRectF(1.5 + 4.5 * c, 1.5 + 4.5 * r, 4, 4));
        }
}

void drawValue(QPainter &p) {
    p.setBrush(QColor(0xE3, 0xF2, 0xFD));
    p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 2, 2);
    p.setPen(QColor(0x0D, 0x47, 0xA1));
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(1, 3, 14, 10), Qt::AlignCenter, QStringLiteral("0.5"));
}

void drawFlags(QPainter &p) {
    for (int i = 0; i < 2; ++i) {
        const qreal y = 2.5 + 7 * i;
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, y, 5, 5));
        p.drawLine(QPointF(8.5, y + 2.5), QPointF(14.5, y + 2.5));
    }
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1.6));
    p.drawPolyline(QPolygonF({QPointF(2.5, 5), QPointF(4, 6.5), QPointF(6.5, 2.5)}));
}

void drawTexts(QPainter &p) {
    p.setBrush(QColor(0xFF, 0xF8, 0xE1));
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(4.5, 4.5 + 2.5 * i), QPointF(i == 3 ? 9.5 : 11.5, 4.5 + 2.5 * i));
}

void drawItem(QPainter &p) {
    p.setBrush(QColor(0x90, 0xA4, 0xAE));
    p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
}

void drawRoot(QPainter &p) {
    p.setBrush(QColor(0x5D, 0x40, 0x37));
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
    p.setBrush(QColor(0xFF, 0xCC, 0x80));
    p.drawRect(QRectF(4.5, 3.5, 7, 3));
}

QIcon draw(int iconIndex) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x42, 0x42, 0x42), 1));
    switch (iconIndex) {
    case 0:
        drawRoot(p);
        break;
    case 1:
        drawItem(p);
        break;
    case 2:
        drawCurve(p);
        break;
    case 3:
        drawMap(p);
        break;
    case 4:
        drawValue(p);
        break;
    case 5:
        drawFlags(p);
        break;
    case 6:
        drawTexts(p);
        break;
    default:
        drawFolder(p, QColor(0xFF, 0xCA, 0x28));
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

QIcon catalogIcon(int iconIndex) {
    return draw(iconIndex >= 0 && iconIndex <= 6 ? iconIndex : -1);
}

QVariant CatalogIconModel::data(const QModelIndex &index, int role) const {
    if (role == Qt::DecorationRole && index.column() == 0) {
        const int iconIndex = QIdentityProxyModel::data(index, MapTreeModel::IconIndexRole).toInt();
        auto it = m_icons.find(iconIndex);
        if (it == m_icons.end())
            it = m_icons.insert(iconIndex, catalogIcon(iconIndex));
        return *it;
    }
    return QIdentityProxyModel::data(index, role);
}

} // namespace korvel::ui
