#include "core/ProgramLog.h"

namespace korvel {

void ProgramLog::append(const QString &line) {
    m_lines.append(line);
    emit appended(line);
}

void ProgramLog::replaceLast(const QString &line) {
    if (m_lines.isEmpty()) {
        append(line);
        return;
    }
    m_lines.last() = line;
    emit lastReplaced(line);
}

void ProgramLog::clear() {
    m_lines.clear();
    emit cleared();
}

} // namespace korvel
