#include "live/CsvLog.h"

#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/Numbers.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "live/FrameLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>
#include <QRegularExpression>

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
const QString kTornLogRepaired =
    QStringLiteral("Лог %1 оборван на недописанной строке: отрезано %2 байт после последней целой строки");
const QString kTornLogNotRepaired = QStringLiteral("Не удалось восстановить оборванный лог %1: %2");
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// The logs a run folder holds: "лог.csv" and the kept "лог_1.csv", "лог_2.csv", ...
bool isLogName(const QString &name) {
    const QFileInfo log(CsvLog::kFileName);
    static const QRegularExpression pattern(QLatin1Char('^') + QRegularExpression::escape(log.completeBaseName()) +
                                            QStringLiteral("(_\\d+)?\\.") + QRegularExpression::escape(log.suffix()) +
                                            QLatin1Char('$'));
    return pattern.match(name).hasMatch();
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

CsvLog::CsvLog(LogDirectory &directory, ProgramLog &log)
    : m_directory(directory), m_log(log), m_inbox(std::make_unique<QObject>()) {
    QObject *inbox = m_inbox.get();
    m_writer = std::make_unique<CsvLogWriter>([inbox, this] {
        QMetaObject::invokeMethod(
            inbox, [this] { collectMessages(); }, Qt::QueuedConnection);
    });
}

CsvLog::~CsvLog() {
    stop();
    m_writer.reset(); // writes what was handed over
}

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
    m_linesHanded = 1; // the header
    m_writer->begin(m_directory.path(), kFileName, encode({header(protocol, separator)}));
    m_running = true;
}

void CsvLog::stop() {
    if (!m_running)
        return;
    handOver(); // also when empty: a connect without frames leaves the header
    m_writer->end();
    m_running = false;
    collectMessages();
}

void CsvLog::waitWritten() {
    m_writer->waitIdle();
    collectMessages();
}

void CsvLog::append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now) {
    if (!m_running)
        return;
    m_pending.append(line(channels, channelCount(m_protocol), trace, now, m_separator));
    if (m_pending.size() > kLinesPerWrite)
        handOver();
}

void CsvLog::handOver() {
    m_writer->append(encode(m_pending), static_cast<int>(m_pending.size()));
    m_linesHanded += static_cast<int>(m_pending.size());
    m_pending.clear();
}

void CsvLog::collectMessages() {
    for (const QString &message : m_writer->takeMessages())
        m_log.append(message);
}

void CsvLog::repairEarlierLogs(const LogDirectory &directory, ProgramLog &log) {
    for (const QString &folder : directory.earlierRunFolders()) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            if (!isLogName(name))
                continue;
            QString why;
            const qint64 cut = cutTornTail(dir.filePath(name), kLineEnd, &why);
            if (cut > 0)
                log.append(kTornLogRepaired.arg(QDir::toNativeSeparators(dir.filePath(name))).arg(cut));
            else if (cut < 0)
                log.append(kTornLogNotRepaired.arg(QDir::toNativeSeparators(dir.filePath(name)), why));
        }
    }
}

} // namespace korvel
