#include "core/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {
namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// QFile reports a write that stopped part-way (a full disk) as a success, so
// the size on disk is what decides.
bool landedWhole(QFile &file, qint64 expected) {
    return file.flush() && QFileInfo(file.fileName()).size() == expected;
}

// The temporary beside the target: hidden, and under a name that tells it apart from the file itself.
QString temporaryPrefix(const QFileInfo &target) {
    return QLatin1Char('.') + target.fileName() + QLatin1Char('.');
}
const QString kTemporarySuffix = QStringLiteral(".tmp");

// A process killed during a save leaves its temporary behind; the next save of the same file clears it.
void removeLeftTemporaries(const QFileInfo &target) {
    const QDir folder(target.absolutePath());
    const QRegularExpression left(QLatin1Char('^') + QRegularExpression::escape(temporaryPrefix(target)) +
                                  QStringLiteral("[A-Za-z0-9]{6}") + QRegularExpression::escape(kTemporarySuffix) +
                                  QLatin1Char('$'));
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (left.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
}

// The bytes go into a temporary in the target's folder, flushed to disk and then renamed over the target:
// whoever looks at the target, even after a crash, sees the old or the new
// file and nothing in between.
QString replaceThroughTemporary(const QString &path, const QByteArray &bytes) {
    const QFileInfo target(path);
    removeLeftTemporaries(target);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + temporaryPrefix(target) + QStringLiteral("XXXXXX") +
                        kTemporarySuffix);
    if (!temp.open())
        return temp.errorString();
    if (temp.write(bytes) != bytes.size() || !landedWhole(temp, bytes.size()))
        return QStringLiteral("запись прервана: %1").arg(temp.errorString());
    if (::fsync(temp.handle()) != 0)
        return systemError();
    temp.setPermissions(target.exists() ? QFile::permissions(path)
                                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ReadOther);
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return systemError();
    temp.setAutoRemove(false);
    return {};
}

} // namespace

QString writeFileSafely(const QString &path, const QByteArray &bytes) {
    return replaceThroughTemporary(path, bytes);
}

QString AppendOnlyFile::create(const QString &path) {
    close();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return systemError();
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const QString why = systemError();
        ::close(fd);
        return why;
    }
    m_fd = fd;
    m_path = path;
    m_size = 0;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return {};
}

void AppendOnlyFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QString AppendOnlyFile::append(const QByteArray &bytes) {
    if (m_fd < 0)
        return QStringLiteral("файл не открыт");
    // One write() in the ordinary case; a short count (a full disk) is tried
    // once more for the rest, which then fails with the reason.
    qint64 done = 0;
    QString why;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = QStringLiteral("записано %1 из %2 байт: %3").arg(done).arg(bytes.size()).arg(systemError());
            break;
        }
        done += n;
    }
    if (why.isEmpty() && ::fdatasync(m_fd) != 0)
        why = systemError();
    if (why.isEmpty()) {
        m_size += bytes.size();
        return {};
    }
    // What landed of this append goes again: the file ends with the last whole record.
    if (::ftruncate(m_fd, m_size) != 0)
        why += QStringLiteral("; не удалось отрезать недописанное: ") + systemError();
    else
        ::fdatasync(m_fd);
    return why;
}

bool AppendOnlyFile::unchangedOnDisk() const {
    struct stat info {};
    if (m_fd < 0 || ::stat(QFile::encodeName(m_path).constData(), &info) != 0)
        return false;
    return info.st_dev == m_device && info.st_ino == m_inode && info.st_size == m_size;
}

qint64 cutTornTail(const QString &path, const QByteArray &terminator, QString *why) {
    const auto fail = [&](const QString &reason) {
        if (why)
            *why = reason;
        return qint64(-1);
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return fail(file.errorString());
    const qint64 size = file.size();
    if (size == 0)
        return 0;
    // Backwards in chunks that overlap by the terminator's length, so a
    // terminator across a chunk border is found too.
    constexpr qint64 kChunk = 64 * 1024;
    const qint64 overlap = terminator.size() - 1;
    qint64 end = size;
    qint64 keep = 0;
    bool found = false;
    while (end > 0 && !found) {
        const qint64 from = std::max<qint64>(0, end - kChunk);
        if (!file.seek(from))
            return fail(file.errorString());
        const QByteArray chunk = file.read(std::min(size, end + overlap) - from);
        if (chunk.isEmpty())
            return fail(file.errorString());
        if (from + chunk.size() == size && chunk.endsWith(terminator))
            return 0;
        const qsizetype at = chunk.lastIndexOf(terminator);
        if (at >= 0) {
            keep = from + at + terminator.size();
            found = true;
        }
        end = from;
    }
    if (!file.resize(keep))
        return fail(file.errorString());
    if (!file.flush() || ::fdatasync(file.handle()) != 0)
        return fail(systemError());
    return size - keep;
}

} // namespace korvel
