#include "ecu/TECUThread.h"

#include "core/ProgramLog.h"
#include "ecu/EcuCommands.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/EcuTexts.h"
#include "ecu/KwpSession.h"
#include "ecu/WorkerHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

#include <algorithm>
#include <chrono>

namespace korvel {

namespace {
constexpr int kLoopPause = 1; // ms between passes of the command loop
constexpr int kShutdownSlice = 5;
} // namespace

// Runs the worker's hand-overs on the UI thread through blocking queued calls
// on the thread object, which lives in the UI thread.
class TECUThread::HandOver final : public WorkerHost {
public:
    explicit HandOver(TECUThread &thread) : m_thread(thread) {}

    void PostLog(const QString &line) override {
        runOnUi([this, &line] {
            if (m_thread.m_log)
                m_thread.m_log->append(line);
        });
    }
    void ReplaceLog(const QString &line) override {
        runOnUi([this, &line] {
            if (m_thread.m_log)
                m_thread.m_log->replaceLast(line);
        });
    }
    void PublishProgress(int maximum, int position) override {
        runOnUi([this, maximum, position] {
            if (m_thread.m_progress)
                m_thread.m_progress(maximum, position);
        });
    }
    void PublishIdentification(const QByteArray &block) override {
        runOnUi([this, &block] {
            if (m_thread.m_identification)
                m_thread.m_identification(block);
        });
    }
    void pause(int ms) override { m_thread.pause(ms); }
    bool stopRequested() const override { return m_thread.isInterruptionRequested(); }

private:
    template <typename Work> void runOnUi(Work work) {
        if (QThread::currentThread() == m_thread.thread())
            work();
        else
            QMetaObject::invokeMethod(&m_thread, work, Qt::BlockingQueuedConnection);
    }

    TECUThread &m_thread;
};

TECUThread::TECUThread(ProgramLog *log, QObject *parent) : QThread(parent), m_log(log) {}

TECUThread::~TECUThread() {
    shutdown();
}

void TECUThread::shutdown() {
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

void TECUThread::pause(int ms) const {
    std::unique_lock lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                         [this] { return isInterruptionRequested(); });
}

void TECUThread::run() {
    // The port and everything that uses it belong to this thread.
    HandOver host(*this);
    EcuLink link(*this, host);
    EcuMemory memory(*this, host, link);
    KwpSession session(*this, host, link, memory);
    EcuCommands commands(*this, host, link, session, memory);

    while (!isInterruptionRequested()) {
        if (Command.load().isEmpty() || ErrorComPorts.load() != 0) {
            if (IsECUConnected.load() == 1 && IsComConnected.load() == 1 && IsDiagnostic.load() == 1) {
                if (!m_pollingAnnounced) {
                    host.PostLog(ecutext::DiagnosticPolling);
                    m_pollingAnnounced = true;
                }
                link.DiagnosticRequest();
            }
        } else {
            // An unknown command stays pending and runs nothing until the window replaces it.
            commands.runPending();
        }
        pause(kLoopPause);
    }
}

} // namespace korvel
