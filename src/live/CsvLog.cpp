#include "live/CsvLog.h"

#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/Numbers.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "live/FrameLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace korvel {
namespace {

const QString kTimeColumn = QStringLiteral("Time");
const QStringList kTraceColumns = {
    QStringLiteral("Обучение"),
    QStringLiteral("Выполнение условий"),
    QStringLiteral("циклы стационарности"),
    QStringLiteral("учет данных для анализа"),
    QStringLiteral("количество перезаписей"),
    QStringLiteral("перезапись"),
    QStringLiteral("старая поправка"),
    QStringLiteral("новая поправка"),
};
const QString kWriteFailed = QStringLiteral("Не удалось записать лог %1: %2");
const QString kNoFolder = QStringLiteral("папка логов не создана");
const QString kEarlierLogKept = QStringLiteral("Лог предыдущего подключения сохранён: %1");
const QString kFileChangedOutside =
    QStringLiteral("Файл лога %1 удалён или изменён другой программой: запись продолжается в новый файл");
const QString kEarlierLogLost = QStringLiteral("Не удалось сохранить лог предыдущего подключения %1");

// "лог.csv" -> "лог_1.csv", "лог_2.csv", ...: the first name not taken in the folder.
QString freeEarlierName(const QDir &folder) {
    const QFileInfo name(CsvLog::kFileName);
    for (int n = 1;; ++n) {
        const QString candidate =
            name.completeBaseName() + QLatin1Char('_') + QString::number(n) + QLatin1Char('.') + name.suffix();
        if (!folder.exists(candidate))
            return candidate;
    }
}

QByteArray encode(const QStringList &lines) {
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += cp1251::encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace

CsvLog::CsvLog(LogDirectory &directory, ProgramLog &log) : m_directory(directory), m_log(log) {}

QString CsvLog::header(Protocol protocol, QChar separator) {
    QStringList fields{kTimeColumn};
    fields += channelNames(protocol);
    if (protocol == Protocol::Fast)
        fields += kTraceColumns; // the standard protocol writes the trace too, without names
    return fields.join(separator);
}

QString CsvLog::line(const LiveChannels &channels, int channelCount, const TuningTrace &trace, const QTime &now,
                     QChar separator) {
    QString text = now.toString(QStringLiteral("hhmmss"));
    text.reserve(channelCount * 8 + 64);
    const auto add = [&](const QString &field) {
        text += separator;
        text += field;
    };
    for (int channel = 1; channel <= channelCount; ++channel)
        add(shortestDecimal(roundTo(channels.value(channel), 3)));
    for (int value : {trace.tuningStarted, trace.okToTune, trace.statCount, trace.sampleIndex, trace.evaluations,
                      trace.wroteCorrection})
        add(QString::number(value));
    add(shortestDecimal(trace.oldCorrection));
    add(shortestDecimal(trace.newCorrection));
    return text;
}

void CsvLog::start(Protocol protocol, QChar separator) {
    stop(); // a log still running keeps every line
    m_protocol = protocol;
    m_separator = separator;
    m_pending.clear();
    m_sinceWrite = 0;
    m_headerPending = true;
    m_linesOnDisk = 0;
    m_bytesOnDisk = 0;
    m_failureReported = false;
    const QString folder = m_directory.ensure();
    if (!folder.isEmpty())
        keepEarlierLog(QDir(folder));
    m_running = true;
}

// The run's folder is kept for the whole run: the log of an earlier
// connection moves aside instead of being replaced by this one.
void CsvLog::keepEarlierLog(const QDir &folder) {
    if (!folder.exists(kFileName))
        return;
    const QString earlier = freeEarlierName(folder);
    if (QFile::rename(folder.filePath(kFileName), folder.filePath(earlier)))
        m_log.append(kEarlierLogKept.arg(earlier));
    else
        m_log.append(kEarlierLogLost.arg(folder.filePath(kFileName)));
}

void CsvLog::stop() {
    if (!m_running)
        return;
    if (m_headerPending || !m_pending.isEmpty())
        write();
    m_running = false;
}

void CsvLog::append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now) {
    if (!m_running)
        return;
    m_pending.append(line(channels, channelCount(m_protocol), trace, now, m_separator));
    if (++m_sinceWrite > kLinesPerWrite) {
        write();
        m_sinceWrite = 0;
    }
}

void CsvLog::write() {
    const QString folder = m_directory.ensure();
    if (folder.isEmpty()) {
        reportFailure(m_directory.name(), kNoFolder);
        return;
    }
    const QString reason = writePending(QDir(folder));
    if (!reason.isEmpty()) {
        reportFailure(QDir(folder).filePath(kFileName), reason);
        return;
    }
    m_failureReported = false;
}

// Appends what is not on disk yet. The first write of a connection creates the
// file with the header. A file that is no longer the size we left (deleted or
// cut from outside) is not ours to repair: it is kept aside and a new one starts.
QString CsvLog::writePending(const QDir &folder) {
    const QString path = folder.filePath(kFileName);
    if (!m_headerPending && QFileInfo(path).size() != m_bytesOnDisk) {
        m_log.append(kFileChangedOutside.arg(path));
        keepEarlierLog(folder);
        m_headerPending = true;
        m_linesOnDisk = 0;
        m_bytesOnDisk = 0;
    }
    const bool fresh = m_headerPending;
    QByteArray bytes;
    if (fresh)
        bytes = encode({header(m_protocol, m_separator)});
    bytes += encode(m_pending);
    const QString reason = fresh ? writeFileSafely(path, bytes) : appendToFile(path, bytes);
    if (!reason.isEmpty())
        return reason;
    m_bytesOnDisk += bytes.size();
    m_linesOnDisk += static_cast<int>(m_pending.size()) + (fresh ? 1 : 0);
    m_headerPending = false;
    m_pending.clear();
    return {};
}

// One line per run of failures: the lines not written stay in memory and the next write tries again.
void CsvLog::reportFailure(const QString &path, const QString &reason) {
    if (m_failureReported)
        return;
    m_log.append(kWriteFailed.arg(path, reason));
    m_failureReported = true;
}

} // namespace korvel
