#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

inline constexpr int kScreenshotQuality = 100;

// Compresses rows of 8-bit R, G, B (top row first, width × 3 bytes each) to a
// JPEG file, written whole through a temporary. Returns an empty string on
// success, otherwise the reason.
QString writeJpeg(const QString &path, int width, int height, const QByteArray &rgb888, int quality);

// Compresses to memory; false (with the reason) on bad input or a libjpeg error.
bool encodeJpeg(int width, int height, const QByteArray &rgb888, int quality, QByteArray &jpeg, QString &error);

} // namespace korvel
