#pragma once

#include "live/LiveParameters.h"
#include "live/TuningTrace.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <QTime>

class QDir;

namespace korvel {

class LogDirectory;
class ProgramLog;

// The CSV log of a connection: every line since connect held in memory and
// mirrored in LogDirectory + "/лог.csv" (Windows-1251, CRLF). The first write
// of a connection replaces the file; later writes append only the lines not
// yet on disk, so the file always reads as the header and every line so far.
class CsvLog {
public:
    static constexpr int kLinesPerWrite = 100; // the 101st line since the last write writes
    static inline const QString kFileName = QStringLiteral("лог.csv");

    CsvLog(LogDirectory &directory, ProgramLog &log);

    // Connect with "Писать логи" = "да": a new list holding the header; the folder is made ready.
    // A log still running is stopped first, and the file of an earlier
    // connection of the run is kept as "лог_1.csv", "лог_2.csv", ...
    void start(Protocol protocol, QChar separator);
    // Disconnect: the lines not yet written are written, then logging stops.
    void stop();
    bool isRunning() const { return m_running; }

    // One processed frame: the time, channels 1..ChannelCount and the tuning trace.
    void append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now = QTime::currentTime());

    const QStringList &lines() const { return m_lines; }
    int linesOnDisk() const { return m_linesOnDisk; }

    static QString header(Protocol protocol, QChar separator);
    static QString line(const LiveChannels &channels, int channelCount, const TuningTrace &trace, const QTime &now,
                        QChar separator);

private:
    void keepEarlierLog(const QDir &folder);
    void write();
    QString writePending(const QString &path);
    void reportFailure(const QString &path, const QString &reason);

    LogDirectory &m_directory;
    ProgramLog &m_log;
    Protocol m_protocol = Protocol::Fast;
    QChar m_separator = QLatin1Char(',');
    bool m_running = false;
    QStringList m_lines;
    int m_sinceWrite = 0;
    int m_linesOnDisk = 0;    // lines of m_lines already in the file of this connection
    qint64 m_bytesOnDisk = 0; // the file's size after our last write
    bool m_failureReported = false;
};

} // namespace korvel
