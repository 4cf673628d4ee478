#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/TECUThread.h"

#include <QThread>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {
const QString kMissingPort = QStringLiteral("/dev/korvel-no-such-adapter");

EcuCommand openCommand(const QString &port, const QString &speed = QStringLiteral("57600")) {
    return {EcuCommandKind::OpenComPort, {port, speed, Protocol::Fast, 0, 0}};
}
} // namespace

TEST(PendingEcuCommand, IsHandedOverOnlyWhenNoneIsPendingAndEndsOnlyWhileStillPending) {
    TECUThread worker; // not started: the test plays the worker's part
    EXPECT_TRUE(worker.Command.submit(openCommand(kMissingPort)));
    EXPECT_FALSE(worker.Command.submit({EcuCommandKind::DiagnosticECU, {}})) << "busy";
    EXPECT_EQ(worker.Command.load()->link.port, kMissingPort) << "the first command keeps its parameters";

    worker.Command.replace({EcuCommandKind::CloseComPort, {}});
    EXPECT_FALSE(worker.Command.finish(EcuCommandKind::OpenComPort)) << "a command set meanwhile is not lost";
    EXPECT_EQ(worker.Command.kind(), EcuCommandKind::CloseComPort);
    EXPECT_TRUE(worker.Command.finish(EcuCommandKind::CloseComPort));
    EXPECT_FALSE(worker.Command.pending());

    worker.Command.replace(openCommand(kMissingPort));
    worker.Command.clear();
    EXPECT_FALSE(worker.Command.pending());
}

TEST(EcuWorker, RunsNoCommandWhilePortDiscoveryFailed) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.ErrorComPorts = 1;
    worker.Command.submit(openCommand(kMissingPort));
    worker.start();
    runEventsFor(300);
    EXPECT_EQ(worker.Command.kind(), EcuCommandKind::OpenComPort) << "the command stays pending";
    EXPECT_TRUE(log.lines().isEmpty());

    worker.ErrorComPorts = 0;
    ASSERT_TRUE(waitFor([&] { return !worker.Command.pending(); }));
    worker.shutdown();
}

TEST(EcuWorker, ReportsAPortThatCannotBeOpened) {
    ProgramLog log;
    TECUThread worker(&log);
    QList<EcuConnectOutcome> outcomes;
    worker.setConnectOutcomeHandler([&](EcuConnectOutcome outcome) { outcomes.append(outcome); });
    worker.Command.submit(openCommand(kMissingPort));
    worker.start();
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }));
    EXPECT_EQ(outcomes, QList<EcuConnectOutcome>{EcuConnectOutcome::PortNotOpened});
    EXPECT_EQ(log.lines(), QStringList({kMissingPort + ": >> Открытие порта...",
                                        "ОШИБКА: Не удаётся открыть порт " + kMissingPort + " !"}));
    EXPECT_EQ(worker.IsComConnected.load(), 0);
    EXPECT_EQ(worker.PortName.load(), kMissingPort);
    EXPECT_FALSE(worker.Command.pending());
    worker.shutdown();
}

TEST(EcuWorker, FillsInTheDefaultPort) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.Command.submit({EcuCommandKind::OpenComPort, {}});
    worker.start();
    ASSERT_TRUE(waitFor([&] { return log.lines().size() >= 2; }));
    EXPECT_EQ(worker.PortName.load(), "COM1");
    EXPECT_EQ(log.lines().first(), "COM1: >> Открытие порта...");
    worker.shutdown();
}

// A kind the command table has no row for (a service not built yet).
TEST(EcuWorker, LeavesACommandWithoutARowPendingAndStaysResponsive) {
    ProgramLog log;
    TECUThread worker(&log);
    const auto unknown = static_cast<EcuCommandKind>(-1);
    worker.Command.submit({unknown, {}});
    worker.start();
    runEventsFor(200);
    EXPECT_EQ(worker.Command.kind(), unknown);
    worker.Command.replace({EcuCommandKind::CloseComPort, {}});
    ASSERT_TRUE(waitFor([&] { return !worker.Command.pending(); }));
    EXPECT_TRUE(log.lines().isEmpty()) << "closing a port that is not open logs nothing";
    worker.shutdown();
}

// The worker waits for the UI thread to take its log line while the UI
// thread shuts the worker down: both must come out.
TEST(EcuWorker, ShutsDownWhileTheWorkerWaitsForTheUiThread) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.Command.submit(openCommand(kMissingPort));
    worker.start();
    QThread::msleep(200); // the UI thread is busy; the worker's first log line waits
    worker.shutdown();
    EXPECT_TRUE(worker.isFinished());
    EXPECT_FALSE(log.lines().isEmpty()) << "the waiting hand-over ran during the shutdown";
}

namespace {
// A worker that hands plain (unguarded) values to the UI thread and reads back
// what the UI thread wrote: only the hand-over itself orders the two.
class HandOverProbe : public LinkWorker {
public:
    static constexpr int Rounds = 40;

    HandOverProbe() : LinkWorker(nullptr, nullptr) {}
    ~HandOverProbe() override { shutdown(); }

    // UI thread only.
    QStringList uiSaw;    // the worker's stack text of each round
    QList<int> workerSaw; // what the worker read back, handed over at the end
    bool allOnUiThread = true;
    bool done = false;

protected:
    void run() override {
        int reply = -1;
        QList<int> readBack;
        for (int round = 0; round < Rounds; ++round) {
            const QString text = QString::number(round); // lives on the worker's stack
            runOnUi([&] {
                uiSaw.append(text);
                allOnUiThread = allOnUiThread && QThread::currentThread() == thread();
                reply = round * 2;
            });
            readBack.append(reply);
        }
        runOnUi([&] {
            workerSaw = readBack;
            done = true;
        });
    }
};
} // namespace

// Each hand-over runs on the UI thread while the worker waits: the UI thread
// sees what the worker wrote just before, and the worker sees what the UI
// thread wrote as soon as it goes on. (Under ThreadSanitizer this also checks
// that the ordering is one the sanitizer can see.)
TEST(LinkWorker, HandOverOrdersTheWorkerAndTheUiThreadBothWays) {
    HandOverProbe worker;
    worker.start();
    ASSERT_TRUE(waitFor([&] { return worker.done; }));
    QStringList expectedTexts;
    QList<int> expectedReplies;
    for (int round = 0; round < HandOverProbe::Rounds; ++round) {
        expectedTexts.append(QString::number(round));
        expectedReplies.append(round * 2);
    }
    EXPECT_EQ(worker.uiSaw, expectedTexts);
    EXPECT_EQ(worker.workerSaw, expectedReplies);
    EXPECT_TRUE(worker.allOnUiThread);
}

TEST(EcuWorker, StopsWhenShutDownIdle) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.start();
    ASSERT_TRUE(waitFor([&] { return worker.isRunning(); }));
    worker.shutdown();
    EXPECT_TRUE(worker.isFinished());
    EXPECT_TRUE(log.lines().isEmpty());
}
