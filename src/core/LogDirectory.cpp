#include "core/LogDirectory.h"

#include <QDir>
#include <QRegularExpression>

namespace korvel {

QString LogDirectory::nameFor(const QDateTime &when) {
    return when.toString(QStringLiteral("dd.MM.yy-hh.mm.ss"));
}

bool LogDirectory::isRunFolderName(const QString &name) {
    static const QRegularExpression pattern(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d-\\d\\d\\.\\d\\d\\.\\d\\d$"));
    return pattern.match(name).hasMatch();
}

namespace {
QDir workFolder(const QString &workDir) {
    return QDir(workDir.isEmpty() ? QDir::currentPath() : workDir);
}
} // namespace

QString LogDirectory::ensure(const QDateTime &now) {
    if (m_name.isEmpty())
        m_name = nameFor(now);
    QDir work = workFolder(m_workDir);
    if (!work.mkpath(m_name))
        return {};
    return work.filePath(m_name);
}

QString LogDirectory::path(const QDateTime &now) {
    if (m_name.isEmpty())
        m_name = nameFor(now);
    return workFolder(m_workDir).absoluteFilePath(m_name);
}

QStringList LogDirectory::earlierRunFolders() const {
    const QDir work = workFolder(m_workDir);
    QStringList folders;
    for (const QString &name : work.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (isRunFolderName(name) && name != m_name)
            folders += work.filePath(name);
    return folders;
}

} // namespace korvel
