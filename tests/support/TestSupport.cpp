#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

namespace korvel::test {

QString dataDir() {
    const QByteArray fromEnv = qgetenv("KORVEL_TEST_DATA");
    return fromEnv.isEmpty() ? QStringLiteral(KORVEL_SOURCE_DIR "/data") : QString::fromLocal8Bit(fromEnv);
}

WorkDir::WorkDir(bool withDataFiles) {
    if (!withDataFiles)
        return;
    for (const char *name : {"config.ini", "hexdata.cfg", "errors.cfg", "doNOTchange.cfg"}) {
        const QString from = QDir(dataDir()).filePath(QString::fromLatin1(name));
        if (QFileInfo::exists(from))
            QFile::copy(from, path(QString::fromLatin1(name)));
    }
}

QString WorkDir::path(const QString &name) const {
    return name.isEmpty() ? dir.path() : dir.filePath(name);
}

void WorkDir::write(const QString &name, const QByteArray &bytes) const {
    QFile f(path(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray WorkDir::read(const QString &name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FileSizeLimit::FileSizeLimit(long long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_soft = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_soft);
    setrlimit(RLIMIT_FSIZE, &limit);
}

QStringList withoutNoPortsLine(QStringList lines) {
    lines.removeAll(QStringLiteral("ОШИБКА: В вашей системе нет COM портов!"));
    return lines;
}

QString artifactDir() {
    const QByteArray fromEnv = qgetenv("KORVEL_ARTIFACTS");
    const QString dir =
        fromEnv.isEmpty() ? QStringLiteral(KORVEL_BINARY_DIR "/test-artifacts") : QString::fromLocal8Bit(fromEnv);
    QDir().mkpath(dir);
    return dir;
}

} // namespace korvel::test
