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

LinkWorker::LinkWorker(ProgramLog *log, QObject *parent) : QThread(parent), m_log(log) {}

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
}

void LinkWorker::pause(int ms) const {
    std::unique_lock lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                         [this] { return isInterruptionRequested(); });
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
