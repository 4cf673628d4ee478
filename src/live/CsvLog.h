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

// The CSV log of a connection in LogDirectory + "/лог.csv" (Windows-1251,
// CRLF). Only the lines not yet on disk are held in memory, so a long drive
// costs no memory: the first write of a connection creates the file with the
// header, later writes append. A file that no longer has the size we wrote
// (deleted or cut by the user) is not rebuilt: it is kept aside as a later
// connect would keep it, and a new file with the header goes on.
class CsvLog {
public:
    static constexpr int kLinesPerWrite = 100; // the 101st line since the last write writes
    static inline const QString kFileName = QStringLiteral("лог.csv");

    CsvLog(LogDirectory &directory, ProgramLog &log);

    // Connect with "Писать логи" = "да": a new file is due (header first); the folder is made ready.
    // A log still running is stopped first, and the file of an earlier
    // connection of the run is kept as "лог_1.csv", "лог_2.csv", ...
    void start(Protocol protocol, QChar separator);
    // Disconnect: the lines not yet written are written, then logging stops.
    void stop();
    bool isRunning() const { return m_running; }

    // One processed frame: the time, channels 1..ChannelCount and the tuning trace.
    void append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now = QTime::currentTime());

    // Lines of this connection's current file, the header included: those on
    // disk and those waiting for the next write.
    int lineCount() const { return m_linesOnDisk + (m_headerPending ? 1 : 0) + static_cast<int>(m_pending.size()); }
    int linesOnDisk() const { return m_linesOnDisk; }
    const QStringList &pendingLines() const { return m_pending; }

    static QString header(Protocol protocol, QChar separator);
    static QString line(const LiveChannels &channels, int channelCount, const TuningTrace &trace, const QTime &now,
                        QChar separator);

private:
    void keepEarlierLog(const QDir &folder);
    void write();
    QString writePending(const QDir &folder);
    void reportFailure(const QString &path, const QString &reason);

    LogDirectory &m_directory;
    ProgramLog &m_log;
    Protocol m_protocol = Protocol::Fast;
    QChar m_separator = QLatin1Char(',');
    bool m_running = false;
    QStringList m_pending; // the lines after the last successful write, without the header
    int m_sinceWrite = 0;
    bool m_headerPending = false; // the current file is not made yet
    int m_linesOnDisk = 0;        // lines in the current file, the header included
    qint64 m_bytesOnDisk = 0;     // the file's size after our last write
    bool m_failureReported = false;
};

} // namespace korvel
