#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/EcuCommands.h"
#include "ecu/TECUThread.h"

#include <QThread>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {
const QString kMissingPort = QStringLiteral("/dev/korvel-no-such-adapter");
}

TEST(EcuWorker, RunsNoCommandWhilePortDiscoveryFailed) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.ErrorComPorts = 1;
    worker.PortName.store(kMissingPort);
    worker.Command.store(ecucommand::OpenComPort);
    worker.start();
    runEventsFor(300);
    EXPECT_EQ(worker.Command.load(), ecucommand::OpenComPort) << "the command stays pending";
    EXPECT_TRUE(log.lines().isEmpty());

    worker.ErrorComPorts = 0;
    ASSERT_TRUE(waitFor([&] { return worker.Command.load().isEmpty(); }));
    worker.shutdown();
}

TEST(EcuWorker, ReportsAPortThatCannotBeOpened) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.PortName.store(kMissingPort);
    worker.PortSpeed.store("57600");
    worker.Command.store(ecucommand::OpenComPort);
    worker.start();
    ASSERT_TRUE(waitFor([&] { return log.lines().size() >= 2; }));
    EXPECT_EQ(log.lines(), QStringList({kMissingPort + ": >> Открытие порта...",
                                        "ОШИБКА: Не удаётся открыть порт " + kMissingPort + " !"}));
    EXPECT_EQ(worker.IsComConnected.load(), 0);
    EXPECT_TRUE(worker.Command.load().isEmpty());
    worker.shutdown();
}

TEST(EcuWorker, FillsInTheDefaultPortAndRate) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.Command.store(ecucommand::OpenComPort);
    worker.start();
    ASSERT_TRUE(waitFor([&] { return log.lines().size() >= 2; }));
    EXPECT_EQ(worker.PortName.load(), "COM1");
    EXPECT_EQ(worker.PortSpeed.load(), "57600");
    EXPECT_EQ(log.lines().first(), "COM1: >> Открытие порта...");
    worker.shutdown();
}

TEST(EcuWorker, LeavesAnUnknownCommandPendingAndStaysResponsive) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.PortName.store(kMissingPort);
    worker.Command.store("NoSuchCommand");
    worker.start();
    runEventsFor(200);
    EXPECT_EQ(worker.Command.load(), "NoSuchCommand");
    worker.Command.store(ecucommand::CloseComPort);
    ASSERT_TRUE(waitFor([&] { return worker.Command.load().isEmpty(); }));
    EXPECT_TRUE(log.lines().isEmpty()) << "closing a port that is not open logs nothing";
    worker.shutdown();
}

// The worker waits for the UI thread to take its log line while the UI
// thread shuts the worker down: both must come out.
TEST(EcuWorker, ShutsDownWhileTheWorkerWaitsForTheUiThread) {
    ProgramLog log;
    TECUThread worker(&log);
    worker.PortName.store(kMissingPort);
    worker.Command.store(ecucommand::OpenComPort);
    worker.start();
    QThread::msleep(200); // the UI thread is busy; the worker's first log line waits
    worker.shutdown();
    EXPECT_TRUE(worker.isFinished());
    EXPECT_FALSE(log.lines().isEmpty()) << "the waiting hand-over ran during the shutdown";
}

TEST(EcuWorker, StopsAtOnceWhenDestroyedIdle) {
    ProgramLog log;
    auto worker = std::make_unique<TECUThread>(&log);
    worker->start();
    runEventsFor(50);
    worker.reset(); // the destructor shuts the thread down
    SUCCEED();
}
