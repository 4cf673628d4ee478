#include "core/SafeFile.h"

#include <QFile>
#include <QFileInfo>
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

} // namespace

QString writeFileSafely(const QString &path, const QByteArray &bytes) {
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
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

QString appendToFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    const qint64 before = file.size();
    if (file.write(bytes) != bytes.size() || !landedWhole(file, before + bytes.size())) {
        const QString why = file.errorString();
        // Leave no half line behind: the next attempt appends the same bytes again.
        file.resize(before);
        return QStringLiteral("запись прервана: %1").arg(why);
    }
    return {};
}

} // namespace korvel
