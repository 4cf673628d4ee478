#pragma once

#include "live/CsvLogWriter.h"
#include "live/LiveParameters.h"
#include "live/TuningTrace.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <QTime>

#include <memory>

class QObject;

namespace korvel {

class LogDirectory;
class ProgramLog;

// The CSV log of a connection in LogDirectory + "/лог.csv" (Windows-1251,
// CRLF). Every 101 lines the window hands the batch to the log's writer
// thread and goes on: the writer appends it to the file (one write and
// fdatasync, so the cost does not grow with the file) and publishes how many
// lines are on disk. Only the lines not yet handed over are held here. A file
// that no longer has the size we wrote (deleted or cut by the user) is not
// rebuilt: it is kept aside as a later connect would keep it, and a new file
// with the header goes on.
class CsvLog {
public:
    static constexpr int kLinesPerWrite = 100; // the 101st line since the last write writes
    static inline const QString kFileName = QStringLiteral("лог.csv");

    CsvLog(LogDirectory &directory, ProgramLog &log);
    ~CsvLog(); // writes what was handed over

    // Connect with "Писать логи" = "да": a new file is due (header first); the folder is made ready.
    // A log still running is stopped first, and the file of an earlier
    // connection of the run is kept as "лог_1.csv", "лог_2.csv", ...
    void start(Protocol protocol, QChar separator);
    // Disconnect: the lines not yet written are handed to the writer, then
    // logging stops. Does not wait for the disk.
    void stop();
    // Waits until every line handed over is on disk (or its write failed) and
    // puts the writer's messages into the program log: at exit, and in tests.
    void waitWritten();
    bool isRunning() const { return m_running; }

    // One processed frame: the time, channels 1..ChannelCount and the tuning trace.
    void append(const LiveChannels &channels, const TuningTrace &trace, const QTime &now = QTime::currentTime());

    // Lines of this connection's log, the header included: those handed to
    // the writer and those waiting for the next batch.
    int lineCount() const { return m_linesHanded + static_cast<int>(m_pending.size()); }
    // Lines of the current file that are on disk, the header included.
    int linesOnDisk() const { return m_writer->linesOnDisk(); }
    const QStringList &pendingLines() const { return m_pending; }

    static QString header(Protocol protocol, QChar separator);
    static QString line(const LiveChannels &channels, int channelCount, const TuningTrace &trace, const QTime &now,
                        QChar separator);

    // Start-up: a program killed while it appended can leave a torn last line
    // in the log of its run. Each log in the earlier run folders of the
    // working folder is cut back to its last whole line, with a line in the
    // program log for every file cut.
    static void repairEarlierLogs(const LogDirectory &directory, ProgramLog &log);

private:
    void handOver();
    void collectMessages();

    LogDirectory &m_directory;
    ProgramLog &m_log;
    Protocol m_protocol = Protocol::Fast;
    QChar m_separator = QLatin1Char(',');
    bool m_running = false;
    QStringList m_pending; // the lines not yet handed to the writer, without the header
    int m_linesHanded = 0; // the header and the lines handed over since connect
    // Lives on the window's thread: the writer's news arrive there as queued calls.
    std::unique_ptr<QObject> m_inbox;
    std::unique_ptr<CsvLogWriter> m_writer; // after the inbox: it ends first
};

} // namespace korvel
