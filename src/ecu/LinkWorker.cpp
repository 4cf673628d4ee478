#include "ecu/LinkWorker.h"

#include "core/ProgramLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

#include <algorithm>
#include <chrono>

namespace korvel {

namespace {
constexpr int kShutdownSlice = 5; // ms between runs of the pending hand-overs
} // namespace

LinkWorker::LinkWorker(ProgramLog *log, QObject *parent) : QThread(parent), m_log(log) {
    // The thread's last step takes the pause lock and shutdown() takes it once
    // wait() has returned: the thread's end is then ordered before whatever
    // follows shutdown() (the object's destruction) by a lock ThreadSanitizer
    // sees; QThread's own wait() orders it with a futex it cannot see.
    QObject::connect(
        this, &QThread::finished, this, [this] { std::lock_guard lock(m_pauseMutex); }, Qt::DirectConnection);
}

LinkWorker::~LinkWorker() {
    shutdown();
}

void LinkWorker::shutdown() {
    requestInterruption();
    {
        // Taking the lock orders the request before a pause that is about to wait.
        std::lock_guard lock(m_pauseMutex);
    }
    m_pauseWake.notify_all();
    if (QThread::currentThread() == this)
        return; // called from the worker itself: it stops at the top of its loop
    while (!wait(QDeadlineTimer(kShutdownSlice)))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    std::lock_guard lock(m_pauseMutex); // after the thread's last step (see the constructor)
}

bool LinkWorker::waitUntil(const std::function<bool()> &done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired() || !isRunning())
            return done();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        QThread::msleep(kShutdownSlice);
    }
    return true;
}

void LinkWorker::pause(int ms) const {
    std::unique_lock lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                         [this] { return isInterruptionRequested(); });
}

void LinkWorker::handOver(const std::function<void()> &work) {
    std::unique_lock lock(m_handOverMutex);
    m_handOver = &work;
    // Posted while the lock is held: the UI thread's runHandOver() takes the
    // lock only once the worker waits, so all the worker wrote before, the
    // posted call included, comes before the UI thread runs `work`. The call
    // is looked up by name so that Qt alone builds and frees it.
    QMetaObject::invokeMethod(this, "runHandOver", Qt::QueuedConnection);
    m_handOverDone.wait(lock, [this] { return m_handOver == nullptr; });
}

void LinkWorker::runHandOver() {
    const std::function<void()> *work = nullptr;
    {
        std::lock_guard lock(m_handOverMutex);
        work = m_handOver;
    }
    if (!work)
        return;
    (*work)(); // the worker waits meanwhile, so `work` and what it refers to stay put
    {
        std::lock_guard lock(m_handOverMutex);
        m_handOver = nullptr;
    }
    m_handOverDone.notify_all();
}

void LinkWorker::postLog(const QString &line) {
    if (m_log)
        runOnUi([this, &line] { m_log->append(line); });
}

void LinkWorker::replaceLog(const QString &line) {
    if (m_log)
        runOnUi([this, &line] { m_log->replaceLast(line); });
}

} // namespace korvel
