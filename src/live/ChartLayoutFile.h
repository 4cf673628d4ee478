#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace korvel {

// "doNOTchange.cfg" in the working folder: which charts are shown and where.
// Line 1 "Графики", then one slot per channel (−1, 0 or the slot number),
// Windows-1251 with CR LF.
namespace chartlayout {

inline constexpr auto kFileName = "doNOTchange.cfg";

QByteArray encode(const QList<int> &layout);
// Slots of channels 1..channelCount. Only the first three characters of a
// line count; an empty or missing line, or one that is not a number, is −1.
QList<int> decode(const QByteArray &bytes, int channelCount);

// Nothing when the file does not exist or cannot be read.
std::optional<QList<int>> read(const QString &path, int channelCount);
// Empty on success, otherwise the reason.
QString write(const QString &path, const QList<int> &layout);

} // namespace chartlayout
} // namespace korvel
