#include "ui/Screenshot.h"

#include "app/Session.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace korvel::ui {
namespace {

QImage grabScreen(QWidget *window) {
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        const QPixmap shot = screen->grabWindow(0, 0, 0, size.width(), size.height());
        if (!shot.isNull())
            return shot.toImage();
    }
    return window->grab().toImage();
}

// Rows of R, G, B without the line padding QImage keeps.
QByteArray packedRgb(const QImage &image) {
    const int rowBytes = image.width() * 3;
    QByteArray rgb;
    rgb.reserve(rowBytes * image.height());
    for (int y = 0; y < image.height(); ++y)
        rgb.append(reinterpret_cast<const char *>(image.constScanLine(y)), rowBytes);
    return rgb;
}

} // namespace

void takeScreenshot(Session &session, QWidget *window) {
    const QImage image = grabScreen(window).convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        return;
    session.saveScreenshot(image.width(), image.height(), packedRgb(image));
}

} // namespace korvel::ui
