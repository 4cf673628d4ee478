#pragma once

#include "core/SafeFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace korvel {

// The CSV log's disk work, on a thread of its own so that the window never
// waits on the disk: the window hands over whole batches of encoded lines and
// goes on; this thread appends them to the file with one write and fdatasync
// each (all batches waiting at that moment go in one write). What it has to
// say (a failed write, a file kept aside) comes back as program log lines,
// which the window collects.
class CsvLogWriter {
public:
    // `notify` is called on the writer's thread when messages are waiting; it
    // must only hand the news over (a queued call), never touch the window's data.
    explicit CsvLogWriter(std::function<void()> notify = {});
    ~CsvLogWriter(); // writes what was handed over, then ends the thread
    CsvLogWriter(const CsvLogWriter &) = delete;
    CsvLogWriter &operator=(const CsvLogWriter &) = delete;

    // A new file `fileName` in `folder` (created when missing), `header` as its
    // first line; a file of that name already there (an earlier connection's)
    // is kept aside as "лог_1.csv", "лог_2.csv", ... (the first name free).
    void begin(const QString &folder, const QString &fileName, const QByteArray &header);
    // `lines` whole lines (CR LF ended). An empty batch still makes the file.
    void append(const QByteArray &bytes, int lines);
    // Closes the file after what was handed over.
    void end();

    // Lines in the current file that are on disk (fdatasync done), the header included.
    int linesOnDisk() const { return m_linesOnDisk.load(std::memory_order_acquire); }
    // Blocks until everything handed over has been written or has failed.
    void waitIdle();
    // Program log lines of the writer since the last call.
    QStringList takeMessages();

private:
    struct Job {
        enum class Kind { Begin, Append, End } kind;
        QByteArray bytes;
        int lines = 0;
        QString folder;
        QString fileName;
    };

    void run();
    void doBegin(const Job &job);
    void doAppend(const QByteArray &bytes, int lines);
    bool openFresh(const QString &path);
    void keepEarlier(const QString &path);
    void say(const QString &message);
    void failed(const QString &path, const QString &reason);

    std::function<void()> m_notify;
    std::mutex m_mutex;
    std::condition_variable m_wake; // new jobs or the end
    std::condition_variable m_idle; // all jobs done
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_quit = false;
    QStringList m_messages;
    std::atomic<int> m_linesOnDisk{0};

    // The writer thread's own state.
    AppendOnlyFile m_file;
    QString m_folder;
    QString m_fileName;
    QByteArray m_header;
    bool m_fileOpen = false;
    QByteArray m_backlog; // lines of failed writes, tried again with the next batch
    int m_backlogLines = 0;
    int m_onDisk = 0;
    bool m_failureReported = false;

    std::thread m_thread; // last: starts when everything above is ready
};

} // namespace korvel
