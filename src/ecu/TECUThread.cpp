#include "ecu/TECUThread.h"

#include "ecu/EcuCommands.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/EcuTexts.h"
#include "ecu/KwpSession.h"
#include "ecu/WorkerHost.h"

namespace korvel {

namespace {
constexpr int kLoopPause = 1; // ms between passes of the command loop
} // namespace

// The link's view of the worker: log lines, progress and results go to the
// UI thread through the worker's blocking hand-over.
class TECUThread::HandOver final : public WorkerHost {
public:
    explicit HandOver(TECUThread &thread) : m_thread(thread) {}

    void PostLog(const QString &line) override { m_thread.postLog(line); }
    void ReplaceLog(const QString &line) override { m_thread.replaceLog(line); }
    void PublishProgress(int maximum, int position) override {
        m_thread.runOnUi([this, maximum, position] {
            if (m_thread.m_progress)
                m_thread.m_progress(maximum, position);
        });
    }
    void PublishIdentification(const QByteArray &block) override {
        m_thread.runOnUi([this, &block] {
            if (m_thread.m_identification)
                m_thread.m_identification(block);
        });
    }
    void PublishConnectOutcome(EcuConnectOutcome outcome) override {
        m_thread.runOnUi([this, outcome] {
            if (m_thread.m_connectOutcome)
                m_thread.m_connectOutcome(outcome);
        });
    }
    void PublishFirmwareRead(const FirmwareReadResult &result) override {
        m_thread.runOnUi([this, &result] {
            if (m_thread.m_firmwareRead)
                m_thread.m_firmwareRead(result);
        });
    }
    void PublishWrite(const EcuWriteResult &result) override {
        m_thread.runOnUi([this, &result] {
            if (m_thread.m_write)
                m_thread.m_write(result);
        });
    }
    void pause(int ms) override { m_thread.pause(ms); }
    bool stopRequested() const override { return m_thread.isInterruptionRequested(); }

private:
    TECUThread &m_thread;
};

TECUThread::TECUThread(ProgramLog *log, QObject *parent) : LinkWorker(log, parent) {}

TECUThread::~TECUThread() {
    shutdown(); // before the fields and handlers the worker uses go away
}

void TECUThread::run() {
    // The port and everything that uses it belong to this thread.
    HandOver host(*this);
    EcuLink link(*this, host);
    EcuMemory memory(*this, host, link);
    KwpSession session(*this, host, link, memory);
    EcuCommands commands(*this, host, link, session, memory);

    while (!isInterruptionRequested()) {
        commands.noteDroppedWrite();
        bool polled = false;
        if (!Command.pending() || ErrorComPorts.load() != 0) {
            if (IsECUConnected.load() == 1 && IsComConnected.load() == 1 && IsDiagnostic.load() == 1) {
                if (!m_pollingAnnounced) {
                    host.PostLog(ecutext::DiagnosticPolling);
                    m_pollingAnnounced = true;
                }
                link.DiagnosticRequest();
                polled = true;
            }
        } else {
            // A kind without a row stays pending and runs nothing until the window replaces it.
            commands.runPending();
        }
        // With fast exchange "Таймаут1" alone paces the polling.
        if (!polled || !link.fastExchange())
            pause(kLoopPause);
    }
}

} // namespace korvel
