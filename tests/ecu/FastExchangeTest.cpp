// "Быстрый обмен" against the simulated ECU behind a pseudo-terminal: with
// "да" a read ends with the whole answer, in either header form and however
// the answer is split; with "нет" every exchange keeps both pauses.
#include "Hex.h"
#include "SimulatedCar.h"
#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/EcuLink.h"
#include "ecu/TECUThread.h"
#include "sim/Simulator.h"

#include <QElapsedTimer>
#include <QThread>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;

using korvel::test::hex;

sim::SimulatorOptions simulatorOptions() {
    sim::SimulatorOptions options;
    options.latencyMs = 5;
    options.lineTiming = true;
    options.wideband = sim::WidebandType::None;
    if (qEnvironmentVariableIsSet("KORVEL_SIM_TRACE"))
        options.trace = [](const QString &line) { fprintf(stderr, "sim: %s\n", qPrintable(line)); };
    return options;
}

// 23 or 3D, 00, the address high byte first, the length.
QByteArray memoryRequest(int service, int address, qsizetype length) {
    QByteArray request;
    for (const int byte : {service, 0, address >> 8, address & 0xFF, static_cast<int>(length)})
        request.append(static_cast<char>(byte));
    return request;
}

// How the ECU hands its answers over.
struct AnswerShape {
    const char *name;
    sim::HeaderForm form;
    int chunks;
};

const AnswerShape kShapes[] = {
    {"length byte", sim::HeaderForm::LengthByte, 1},
    {"short header", sim::HeaderForm::Short, 1},
    {"length byte in 4 chunks", sim::HeaderForm::LengthByte, 4},
    {"short header in 7 chunks", sim::HeaderForm::Short, 7},
};

void shapeAnswers(sim::Simulator &simulator, const AnswerShape &shape) {
    for (sim::RequestKind kind : sim::allRequestKinds())
        simulator.setAnswerForm(kind, shape.form); // answers of more than 63 bytes keep their length byte
    simulator.setAnswerChunks(shape.chunks);
}

// The worker's side of one link, run on the test's thread: logs and pauses
// are recorded, and pauses really wait.
class RecordingHost final : public WorkerHost {
public:
    void PostLog(const QString &line) override { lines.append(line); }
    void ReplaceLog(const QString &line) override { lines.append(line); }
    void PublishProgress(int, int) override {}
    void PublishIdentification(const QByteArray &) override {}
    void PublishConnectOutcome(EcuConnectOutcome) override {}
    void PublishFirmwareRead(const FirmwareReadResult &) override {}
    void PublishWrite(const EcuWriteResult &) override {}
    void pause(int ms) override {
        pauses.append(ms);
        QThread::msleep(static_cast<unsigned long>(ms));
    }
    bool stopRequested() const override { return false; }

    QStringList lines;
    QList<int> pauses;
};

class ExchangeOverSim : public ::testing::Test {
protected:
    // A session at 57600 baud with these timeouts; the pauses of its start are forgotten.
    void startSession(bool fastExchange, int timeOut, int readTimeOut) {
        simulator = std::make_unique<sim::Simulator>(simulatorOptions());
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        link.useSettings({.port = simulator->ecuDevicePath(),
                          .speed = QStringLiteral("57600"),
                          .protocol = Protocol::Fast,
                          .portTimeOut = timeOut,
                          .portReadTimeOut = readTimeOut,
                          .fastExchange = fastExchange});
        ASSERT_TRUE(link.OpenEcuPort());
        ASSERT_TRUE(link.ExchangeRequest(hex("81"))) << host.lines.join('\n').toStdString();
        ASSERT_TRUE(link.ExchangeRequest(hex("108139"))) << host.lines.join('\n').toStdString();
        ASSERT_TRUE(link.SetEcuBaud());
        fields.MemoryAccessReady = true;
        host.pauses.clear();
    }

    std::unique_ptr<sim::Simulator> simulator; // outlives the link's port
    EcuFields fields;
    RecordingHost host;
    EcuLink link{fields, host};
};

} // namespace

// With "нет" the exchange waits "Таймаут1" before sending and "Таймаут2"
// before reading, however early the answer is in; with "да" only the first.
TEST_F(ExchangeOverSim, TheSettingDecidesWhichPausesAnExchangeWaits) {
    constexpr int kTimeOut = 7;
    constexpr int kReadTimeOut = 150;
    for (const bool fastExchange : {false, true}) {
        SCOPED_TRACE(fastExchange ? "да" : "нет");
        startSession(fastExchange, kTimeOut, kReadTimeOut);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(link.DiagnosticRequest()) << host.lines.join('\n').toStdString();
        const QList<int> perExchange = fastExchange ? QList<int>{kTimeOut} : QList<int>{kTimeOut, kReadTimeOut};
        EXPECT_EQ(host.pauses, perExchange + perExchange + perExchange);
        EXPECT_EQ(fields.diagnosticFrames.exchange(0), 3);
        EXPECT_EQ(fields.DiagnosticInfo.load().size(), 51);
        link.CloseEcuPort();
        simulator->stop();
    }
}

// Diagnostic frames, a memory read and a memory write each end as soon as
// their answer is whole: all of them together take less than one "Таймаут2".
TEST_F(ExchangeOverSim, FastExchangeTakesEachAnswerAsSoonAsItIsWhole) {
    constexpr int kReadTimeOut = 3000;
    startSession(true, 0, kReadTimeOut);
    int block = 0;
    for (const AnswerShape &shape : kShapes) {
        SCOPED_TRACE(shape.name);
        shapeAnswers(*simulator, shape);
        const int address = 0x1000 + 0x100 * block++;
        const QByteArray written = hex("A1B2C3D4");
        QElapsedTimer elapsed;
        elapsed.start();

        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(link.DiagnosticRequest()) << host.lines.join('\n').toStdString();
        ASSERT_TRUE(link.ExchangeRequest(memoryRequest(0x23, address, 0x60))) << host.lines.join('\n').toStdString();
        EXPECT_EQ(link.lastReadData(), simulator->readMemory(address, 0x60));
        // The ECU's 7D is never accepted, but the read still ends with it.
        link.ExchangeRequest(memoryRequest(0x3D, address + 0x80, written.size()) + written);

        EXPECT_LT(elapsed.elapsed(), kReadTimeOut);
        EXPECT_EQ(simulator->readMemory(address + 0x80, 4), written);
        EXPECT_EQ(fields.diagnosticFrames.exchange(0), 5);
        EXPECT_EQ(fields.error.load(), 0) << host.lines.join('\n').toStdString();
    }
}

// Stray bytes before the answer make a header that promises more than ever
// comes: the read waits out "Таймаут2", fails, and the next exchange is clean.
TEST_F(ExchangeOverSim, AnAnswerThatNeverCompletesEndsAtTheReadTimeOut) {
    constexpr int kReadTimeOut = 300;
    startSession(true, 0, kReadTimeOut);
    simulator->injectFault({sim::FaultKind::GarbageBeforeAnswer, sim::RequestKind::FastFrame});
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(link.DiagnosticRequest());
    EXPECT_GE(elapsed.elapsed(), kReadTimeOut);
    EXPECT_TRUE(link.DiagnosticRequest()) << host.lines.join('\n').toStdString();
    EXPECT_EQ(fields.diagnosticFrames.load(), 1);
}

// An answer that comes after "Таймаут2" is over arrives while the next
// exchange waits "Таймаут1"; it is dropped instead of being read as that
// exchange's echo.
TEST_F(ExchangeOverSim, ALateAnswerIsDroppedBeforeTheNextRequest) {
    constexpr int kTimeOut = 400;
    constexpr int kReadTimeOut = 100;
    startSession(true, kTimeOut, kReadTimeOut);
    sim::FaultRule late{sim::FaultKind::LateAnswer, sim::RequestKind::FastFrame};
    late.delayMs = 200; // after the read, well before the next request
    simulator->injectFault(late);
    EXPECT_FALSE(link.DiagnosticRequest());
    EXPECT_TRUE(link.DiagnosticRequest()) << host.lines.join('\n').toStdString();
    EXPECT_EQ(fields.diagnosticFrames.load(), 1);
}

namespace {

constexpr int kSlowReadTimeOut = 1000; // with "нет" a firmware read would wait 683 of these

class FastExchangeWorker : public ::testing::Test {
protected:
    void TearDown() override {
        if (worker)
            worker->shutdown();
        if (simulator)
            simulator->stop();
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TECUThread> worker;
    ProgramLog log;
    QList<FirmwareReadResult> results;
};

} // namespace

// The worker with "да": the connect reads, polling and firmware reads run in
// every answer shape without a rejected frame, although "Таймаут2" is long.
TEST_F(FastExchangeWorker, ConnectsPollsAndReadsTheFirmwareInEveryAnswerShape) {
    simulator = std::make_unique<sim::Simulator>(simulatorOptions());
    QString error;
    ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
    worker = std::make_unique<TECUThread>(&log);
    worker->setFirmwareReadHandler([this](const FirmwareReadResult &result) { results.append(result); });
    worker->start();
    ASSERT_TRUE(worker->Command.submit({EcuCommandKind::OpenComPort,
                                        {.port = simulator->ecuDevicePath(),
                                         .speed = QStringLiteral("57600"),
                                         .protocol = Protocol::Fast,
                                         .portTimeOut = 0,
                                         .portReadTimeOut = kSlowReadTimeOut,
                                         .fastExchange = true}}));
    ASSERT_TRUE(waitFor([&] { return worker->IsDiagnostic.load() == 1; }, kConnectMs))
        << log.lines().join('\n').toStdString();

    for (const AnswerShape &shape : kShapes) {
        SCOPED_TRACE(shape.name);
        shapeAnswers(*simulator, shape);
        const int polled = worker->numlog.load();
        ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= polled + 20; }, kConnectMs));
        worker->Command.replace({EcuCommandKind::ReadFW, {}}); // polling stops for the read
        ASSERT_TRUE(waitFor([&] { return worker->IsDiagnostic.load() == 0; }, kConnectMs));
        // Every diagnostic frame requested so far, the connect's included, was taken.
        EXPECT_EQ(worker->diagnosticFrames.load(), worker->numlog.load());

        // The firmware read, quickly: the ECU answers at once and bytes take no line time.
        simulator->setLineTiming(false);
        simulator->setLatencyMs(0);
        ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kConnectMs)) << log.lines().join('\n').toStdString();
        const FirmwareReadResult result = results.takeFirst();
        EXPECT_TRUE(result.complete) << result.failedAddress;
        EXPECT_EQ(result.image, simulator->memory());
        simulator->setLineTiming(true);
        simulator->setLatencyMs(5);
        ASSERT_TRUE(waitFor([&] { return worker->IsDiagnostic.load() == 1; }));
    }
    EXPECT_EQ(worker->error.load(), 0) << log.lines().join('\n').toStdString();
}
