#include "ui/OwnIcons.h"

#include <QPainter>
#include <QPixmap>

namespace korvel::ui {

QIcon glyphIcon(const QString &glyph, unsigned rgb) {
    QIcon icon;
    for (int size : {24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgb(rgb));
        p.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 5.0, size / 5.0);
        QFont font = p.font();
        font.setPixelSize(size * 3 / 5);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
        p.end();
        icon.addPixmap(pixmap);
        // Disabled buttons get a washed-out tile rather than Qt's default.
        QPixmap faded(pixmap.size());
        faded.fill(Qt::transparent);
        QPainter f(&faded);
        f.setOpacity(0.3);
        f.drawPixmap(0, 0, pixmap);
        f.end();
        icon.addPixmap(faded, QIcon::Disabled);
    }
    return icon;
}

} // namespace korvel::ui
