#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

// Writes a whole file through a temporary in the same folder, flushed and then
// renamed over the target: a crash or a full disk never leaves a half-written
// file, and on failure the previous file stays as it was.
// Returns an empty string on success, otherwise the reason.
QString writeFileSafely(const QString &path, const QByteArray &bytes);

// Appends to a file (created when missing). Returns an empty string on success.
QString appendToFile(const QString &path, const QByteArray &bytes);

} // namespace korvel
