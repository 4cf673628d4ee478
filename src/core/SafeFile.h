#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace korvel {

// Writes a whole file through a temporary in the same folder, flushed and then
// renamed over the target: a crash or a full disk never leaves a half-written
// file, and on failure the previous file stays as it was. A temporary that a
// killed earlier save left beside the target is removed.
// Returns an empty string on success, otherwise the reason.
QString writeFileSafely(const QString &path, const QByteArray &bytes);

// A file that only ever grows by whole records (the CSV log): each append is
// one write() of the bytes followed by fdatasync, so its cost does not depend
// on what the file already holds. A write that lands only in part (a full
// disk) is cut back to the last whole record and reported; a process killed
// during a write can still leave a torn record at the end, which
// cutTornTail() repairs at the next start.
class AppendOnlyFile {
public:
    AppendOnlyFile() = default;
    ~AppendOnlyFile() { close(); }
    AppendOnlyFile(const AppendOnlyFile &) = delete;
    AppendOnlyFile &operator=(const AppendOnlyFile &) = delete;

    // Creates the file empty (an existing one is emptied) and keeps it open.
    // Returns an empty string on success, otherwise the reason.
    QString create(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    qint64 size() const { return m_size; }

    // Returns an empty string when every byte is on disk, otherwise the
    // reason; the file then holds exactly what it held before.
    QString append(const QByteArray &bytes);

    // False when the file at the path is no longer the one we write (deleted,
    // replaced) or no longer the size we left (cut or written from outside).
    bool unchangedOnDisk() const;

private:
    int m_fd = -1;
    QString m_path;
    qint64 m_size = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// Cuts a file whose end is not `terminator` back to just after the last
// `terminator` in it (to nothing when it holds none). Only the tail is read.
// Returns the bytes cut (0: the file ended whole), or a negative number and
// the reason in `why` when the file could not be read or cut.
qint64 cutTornTail(const QString &path, const QByteArray &terminator, QString *why = nullptr);

} // namespace korvel
