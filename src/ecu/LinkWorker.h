#pragma once

#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace korvel {

class ProgramLog;

// What the ECU worker and the lambda worker share: pauses that end as soon as
// the thread is asked to stop, a shutdown that keeps running the worker's
// pending hand-overs while it waits, and the blocking hand-over to the UI
// thread. The thread object lives in the UI thread.
class LinkWorker : public QThread {
    Q_OBJECT
public:
    // UI thread only: asks the worker to stop and waits for it, still running
    // the worker's pending hand-overs so that neither side waits on the other.
    // A derived worker calls it from its own destructor, while its fields live.
    void shutdown();

    // UI thread only: waits up to `ms` until `done` holds, running the
    // worker's hand-overs meanwhile. False when the time ran out.
    bool waitUntil(const std::function<bool()> &done, int ms);

    // Pause of the worker's loop; ends early when the thread is asked to stop.
    void pause(int ms) const;

protected:
    // `log` lives in the UI thread and receives the worker's log lines.
    explicit LinkWorker(ProgramLog *log, QObject *parent);
    ~LinkWorker() override;

    // Runs `work` on the UI thread while the worker waits for it to finish.
    template <typename Work> void runOnUi(Work work) {
        if (QThread::currentThread() == thread())
            work();
        else
            handOver([&work] { work(); });
    }
    void postLog(const QString &line);    // appends a line to the program log
    void replaceLog(const QString &line); // replaces its last line

private:
    // The hand-over: the worker publishes `work` under the lock and waits until
    // the UI thread has run it. The lock and the wait are the worker's own (not
    // Qt's blocking queued call), so what orders the two threads is visible to
    // ThreadSanitizer: the worker's writes before a hand-over reach the UI
    // thread, and the UI thread's reads of the worker's stack end before the
    // worker goes on.
    void handOver(const std::function<void()> &work);
    Q_INVOKABLE void runHandOver(); // UI thread: runs the pending hand-over

    ProgramLog *m_log;
    std::mutex m_handOverMutex;
    std::condition_variable m_handOverDone;
    const std::function<void()> *m_handOver = nullptr; // guarded by m_handOverMutex
    // Pauses wait here; shutdown() wakes them.
    mutable std::mutex m_pauseMutex;
    mutable std::condition_variable m_pauseWake;
};

} // namespace korvel
