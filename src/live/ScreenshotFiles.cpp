#include "live/ScreenshotFiles.h"

#include "core/LogDirectory.h"
#include "live/JpegWriter.h"

#include <QDir>

namespace korvel {
namespace {

const QString kPictureFolder = QStringLiteral("pic");

} // namespace

QString ScreenshotFiles::fileName(int counter) {
    return QStringLiteral("screenshot_%1.jpg").arg(counter);
}

ScreenshotFiles::Result ScreenshotFiles::save(int width, int height, const QByteArray &rgb888) {
    const QString folder = m_directory.ensure();
    if (folder.isEmpty() || !QDir(folder).mkpath(kPictureFolder))
        return {{}, QStringLiteral("папка снимков не создана")};
    const QString path = QDir(folder).filePath(kPictureFolder + QLatin1Char('/') + fileName(m_counter));
    const QString error = writeJpeg(path, width, height, rgb888, kScreenshotQuality);
    if (!error.isEmpty())
        return {path, error};
    ++m_counter;
    return {path, {}};
}

} // namespace korvel
