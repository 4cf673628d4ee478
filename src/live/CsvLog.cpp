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
const QString kEarlierLogLost = QStringLiteral("Не удалось сохранить лог предыдущего подключения %1");

// "лог.csv" -> "лог_1.csv", "лог_2.csv", ...: the first name not taken in the folder.
QString freeEarlierName(const QDir &folder) {
    const QFileInfo name(CsvLog::kFileName);
    for (int n = 1;; ++n) {
        const QString candidate = name.completeBaseName() + QLatin1Char('_') + QString::number(n) +
                                  QLatin1Char('.') + name.suffix();
        if (!folder.exists(candidate))
            return candidate;
    }
}

QByteArray encode(const QStringList &lines, qsizetype from) {
    QByteArray bytes;
    for (qsizetype i = from; i < lines.size(); ++i) {
        bytes += cp1251::encode(lines[i]);
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
    m_lines = {header(protocol, separator)};
    m_sinceWrite = 0;
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
    if (m_linesOnDisk < m_lines.size())
        write();
    m_running = false;
}

void CsvLog::append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now) {
    if (!m_running)
        return;
    m_lines.append(line(channels, channelCount(m_protocol), trace, now, m_separator));
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
    const QString path = folder + QLatin1Char('/') + kFileName;
    const QString reason = writePending(path);
    if (!reason.isEmpty()) {
        reportFailure(path, reason);
        return;
    }
    m_failureReported = false;
}

// Appends what is not on disk yet. The first write of a connection, or a file
// that is no longer the one we wrote (removed, replaced), gets the whole list.
QString CsvLog::writePending(const QString &path) {
    const bool whole = m_linesOnDisk == 0 || QFileInfo(path).size() != m_bytesOnDisk;
    const QByteArray bytes = encode(m_lines, whole ? 0 : m_linesOnDisk);
    const QString reason = whole ? writeFileSafely(path, bytes) : appendToFile(path, bytes);
    if (!reason.isEmpty())
        return reason;
    m_bytesOnDisk = whole ? bytes.size() : m_bytesOnDisk + bytes.size();
    m_linesOnDisk = static_cast<int>(m_lines.size());
    return {};
}

// One line per run of failures: the lines stay in memory and the next write tries again.
void CsvLog::reportFailure(const QString &path, const QString &reason) {
    if (m_failureReported)
        return;
    m_log.append(kWriteFailed.arg(path, reason));
    m_failureReported = true;
}

} // namespace korvel
