#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

// Writes a whole file through a temporary in the same folder, flushed and then
// renamed over the target: a crash or a full disk never leaves a half-written
// file, and on failure the previous file stays as it was. A temporary that a
// killed earlier save left beside the target is removed.
// Returns an empty string on success, otherwise the reason.
QString writeFileSafely(const QString &path, const QByteArray &bytes);

// Appends to a file (created when missing) the same way: the file with the
// bytes added replaces it whole. A plain append killed part-way leaves a torn
// tail (the kernel stops a write to a file at a page boundary), so the file is
// copied instead: callers append in batches. Returns an empty string on success.
QString appendToFile(const QString &path, const QByteArray &bytes);

} // namespace korvel
