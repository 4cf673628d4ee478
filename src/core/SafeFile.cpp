#include "core/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

bool copyInto(QFile &from, QFile &to) {
    constexpr qint64 kChunk = 1 << 20;
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(kChunk);
        if (chunk.isEmpty() || to.write(chunk) != chunk.size())
            return false;
    }
    return true;
}

// The content of `head` (when given) followed by `bytes` goes into a temporary
// in the target's folder, flushed to disk and then renamed over the target:
// whoever looks at the target, even after a crash, sees the old or the new
// file and nothing in between.
QString replaceThroughTemporary(const QString &path, QFile *head, const QByteArray &bytes) {
    const QFileInfo target(path);
    removeLeftTemporaries(target);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + temporaryPrefix(target) + QStringLiteral("XXXXXX") +
                        kTemporarySuffix);
    if (!temp.open())
        return temp.errorString();
    const qint64 expected = (head ? head->size() : 0) + bytes.size();
    if ((head && !copyInto(*head, temp)) || temp.write(bytes) != bytes.size() || !landedWhole(temp, expected))
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
    return replaceThroughTemporary(path, nullptr, bytes);
}

QString appendToFile(const QString &path, const QByteArray &bytes) {
    QFile existing(path);
    if (!existing.exists())
        return replaceThroughTemporary(path, nullptr, bytes);
    if (!existing.open(QIODevice::ReadOnly))
        return existing.errorString();
    return replaceThroughTemporary(path, &existing, bytes);
}

} // namespace korvel
