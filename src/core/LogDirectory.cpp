#include "core/LogDirectory.h"

#include <QDir>

namespace korvel {

QString LogDirectory::nameFor(const QDateTime &when) {
    return when.toString(QStringLiteral("dd.MM.yy-hh.mm.ss"));
}

QString LogDirectory::ensure(const QDateTime &now) {
    if (m_name.isEmpty())
        m_name = nameFor(now);
    QDir work(m_workDir.isEmpty() ? QDir::currentPath() : m_workDir);
    if (!work.mkpath(m_name))
        return {};
    return work.filePath(m_name);
}

} // namespace korvel
