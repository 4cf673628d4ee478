// The ECU worker against the simulated ECU behind a pseudo-terminal.
#include "Hex.h"
#include "SimulatedCar.h"
#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/EcuTexts.h"
#include "ecu/TECUThread.h"
#include "sim/Simulator.h"

#include <QMutex>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;

using korvel::test::hex;

QByteArray memoryWrite(const char *address) {
    return hex("3D00") + hex(address) + hex("40") + QByteArray(64, static_cast<char>(0x80));
}

// What a fast connect sends before polling, in order.
QList<QByteArray> fastConnectRequests(const char *rateByte) {
    QList<QByteArray> requests{hex("81"), hex("1081") + hex(rateByte), hex("3E01"), hex("300F0601")};
    for (const char *read : {"F30008", "605102", "60DE01", "5F0008", "613C40", "617C40", "61BC40", "61FC40", "720840",
                             "724840", "728840", "72C840"})
        requests.append(hex("2300") + hex(read));
    for (const char *read : {"000030", "003030", "006030", "009030", "00C020"})
        requests.append(hex("2300") + hex(read));
    for (const char *block : {"FD00", "FD40", "FD80", "FDC0"})
        requests.append(memoryWrite(block));
    return requests;
}

// CRC-32 without the final inversion, bit by bit, apart from the program's table.
quint32 jamcrc(const QByteArray &bytes) {
    quint32 crc = 0xFFFFFFFFU;
    for (char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) ? (crc >> 1) ^ 0xEDB88320U : crc >> 1;
    }
    return crc;
}

sim::EngineState cruising() {
    sim::EngineState state;
    state.rpm = 2500;
    state.afrTarget = 13.5;
    state.coolantTemp = 90;
    return state;
}

class EcuOverSim : public ::testing::Test {
protected:
    void startSimulator(sim::Protocol protocol = sim::Protocol::Fast) {
        sim::SimulatorOptions options;
        options.protocol = protocol;
        options.latencyMs = 10;
        options.lineTiming = true;
        options.wideband = sim::WidebandType::None;
        if (qEnvironmentVariableIsSet("KORVEL_SIM_TRACE"))
            options.trace = [](const QString &line) { fprintf(stderr, "sim: %s\n", qPrintable(line)); };
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        simulator->setEngineState(cruising());

        worker = std::make_unique<TECUThread>(&log);
        QObject::connect(&log, &ProgramLog::appended, [this](const QString &line) { appended.append(line); });
        worker->setProgressHandler([this](int maximum, int position) { progress.append({maximum, position}); });
        worker->setIdentificationHandler([this](const QByteArray &block) { identificationBlock = block; });
        worker->setConnectOutcomeHandler([this](EcuConnectOutcome outcome) { outcomes.append(outcome); });
        worker->start();
    }

    void TearDown() override {
        if (worker)
            worker->shutdown();
        if (simulator)
            simulator->stop();
    }

    // The window's connect: the counters, then the command with its link.
    void connectEcu(Protocol protocol, const QString &speed, const QString &port = {}, bool fastExchange = false) {
        worker->error = 0;
        worker->numlog = 0;
        // The read timeout is well above the line time and the ECU's latency.
        ASSERT_TRUE(worker->Command.submit({EcuCommandKind::OpenComPort,
                                            {.port = port.isEmpty() ? simulator->ecuDevicePath() : port,
                                             .speed = speed,
                                             .protocol = protocol,
                                             .portTimeOut = 5,
                                             .portReadTimeOut = 150,
                                             .fastExchange = fastExchange}}));
    }
    void sendCommand(EcuCommandKind kind) { worker->Command.replace({kind, {}}); }

    bool polling() const {
        return worker->IsComConnected.load() == 1 && worker->IsECUConnected.load() == 1 &&
               worker->IsDiagnostic.load() == 1;
    }

    QString port() const { return simulator->ecuDevicePath(); }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TECUThread> worker;
    ProgramLog log;
    QStringList appended; // every line appended, including those later replaced
    QList<QPair<int, int>> progress;
    QByteArray identificationBlock;
    QList<EcuConnectOutcome> outcomes;
};

} // namespace

// Every connect hands exactly one typed outcome to the UI thread, and the
// link state agrees with it.
TEST_F(EcuOverSim, EveryConnectEndsWithItsOutcome) {
    struct Case {
        const char *what;
        sim::Protocol ecu;
        Protocol protocol;
        QString speed;
        std::optional<sim::FaultRule> fault;                 // set before the connect
        std::function<void(sim::Simulator &)> duringConnect; // runs until it returns true
        QString port;                                        // empty: the simulator's
        EcuConnectOutcome expected;
        int comConnected, ecuConnected, diagnostic;
    };
    const QString missing = QStringLiteral("/dev/korvel-no-such-adapter");
    sim::FaultRule noAnswer{sim::FaultKind::NoAnswer, sim::RequestKind::StartCommunication};
    sim::FaultRule refused{sim::FaultKind::NegativeResponse, sim::RequestKind::TesterPresent};
    sim::FaultRule vanish{sim::FaultKind::Vanish, sim::RequestKind::TesterPresent};
    // The fault must meet the first identification read, not a configuration read.
    const auto failIdentification = [](sim::Simulator &ecu) {
        ASSERT_TRUE(waitFor([&] { return ecu.requestLog().contains(hex("230072C840")); }, kConnectMs));
        ecu.injectFault({sim::FaultKind::NegativeResponse, sim::RequestKind::ReadMemory, 0});
    };
    const Case cases[] = {
        {"fast", sim::Protocol::Fast, Protocol::Fast, "57600", {}, {}, {}, EcuConnectOutcome::Polling, 1, 1, 1},
        {"standard",
         sim::Protocol::Standard,
         Protocol::Standard,
         "10400",
         {},
         {},
         {},
         EcuConnectOutcome::Polling,
         1,
         1,
         1},
        {"missing port",
         sim::Protocol::Fast,
         Protocol::Fast,
         "57600",
         {},
         {},
         missing,
         EcuConnectOutcome::PortNotOpened,
         0,
         0,
         0},
        {"rate not offered",
         sim::Protocol::Fast,
         Protocol::Fast,
         "19200",
         {},
         {},
         {},
         EcuConnectOutcome::BadSpeed,
         0,
         0,
         0},
        {"no answer",
         sim::Protocol::Fast,
         Protocol::Fast,
         "57600",
         noAnswer,
         {},
         {},
         EcuConnectOutcome::NoAnswer,
         1,
         0,
         0},
        {"refused answer",
         sim::Protocol::Standard,
         Protocol::Standard,
         "38400",
         refused,
         {},
         {},
         EcuConnectOutcome::WrongAnswer,
         1,
         0,
         0},
        {"identification read fails",
         sim::Protocol::Fast,
         Protocol::Fast,
         "57600",
         {},
         failIdentification,
         {},
         EcuConnectOutcome::IdentificationFailed,
         0,
         0,
         0},
        {"adapter unplugged",
         sim::Protocol::Fast,
         Protocol::Fast,
         "57600",
         vanish,
         {},
         {},
         EcuConnectOutcome::PortLost,
         0,
         0,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        startSimulator(c.ecu);
        if (c.fault)
            simulator->injectFault(*c.fault);
        connectEcu(c.protocol, c.speed, c.port);
        if (c.duringConnect)
            c.duringConnect(*simulator);
        ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, kConnectMs)) << log.lines().join('\n').toStdString();
        runEventsFor(100);
        EXPECT_EQ(outcomes, QList<EcuConnectOutcome>{c.expected}) << log.lines().join('\n').toStdString();
        EXPECT_EQ(worker->IsComConnected.load(), c.comConnected);
        EXPECT_EQ(worker->IsECUConnected.load(), c.ecuConnected);
        EXPECT_EQ(worker->IsDiagnostic.load(), c.diagnostic);
        TearDown();
        worker.reset();
        simulator.reset();
        outcomes.clear();
        log.clear();
    }
}

TEST_F(EcuOverSim, FastConnectReadsTheEcuAndThenPollsTheFastFrame) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= 4; }, kConnectMs))
        << log.lines().join('\n').toStdString();

    const QList<QByteArray> requests = simulator->requestLog();
    const QList<QByteArray> expected = fastConnectRequests("39");
    ASSERT_GT(requests.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(requests[i].toHex(), expected[i].toHex()) << "request " << i;
    for (qsizetype i = expected.size(); i < requests.size(); ++i)
        EXPECT_EQ(requests[i], hex("210F")) << "request " << i;

    EXPECT_TRUE(polling());
    EXPECT_EQ(worker->error.load(), 0);
    EXPECT_TRUE(worker->MemoryAccessReady.load());
    EXPECT_EQ(worker->DiagnosticInfo.load().size(), 51);
    EXPECT_EQ(log.lines(),
              QStringList({port() + ": >> Открытие порта...", port() + ": >> скорость порта - 57600",
                           "ECU: >> Starting Communication", "ECU: >> Starting Diagnostic Session",
                           "ECU: >> Sending \"Tester Present\"", "ECU: >> Read ECU RAM", "ECU: >> Read ECU RAM",
                           "ECU: >> Read ECU RAM", "ECU: >> Диагностика параметров"}))
        << "a run of memory reads shows one line";
    EXPECT_EQ(appended, QStringList({port() + ": >> Открытие порта...", port() + ": >> скорость порта - 57600",
                                     "ECU: >> Starting Communication", "ECU: >> Starting Diagnostic Session",
                                     "ECU: >> Sending \"Tester Present\"", "ECU: >> Switch to RAM",
                                     "ECU: >> Some settings", "ECU: >> Read RAM ", "ECU: >> Диагностика параметров"}));
    EXPECT_EQ(progress, (QList<QPair<int, int>>{{5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {5, 0}}));
    EXPECT_TRUE(worker->ReadRam.load().isEmpty()) << "the identification block is handed over, then dropped";
    EXPECT_EQ(simulator->ecuBaud(), 57600);
}

TEST_F(EcuOverSim, FastConnectTakesTheEcuIdentity) {
    startSimulator();
    connectEcu(Protocol::Fast, "38400");
    ASSERT_TRUE(waitFor([&] { return polling(); }, kConnectMs)) << log.lines().join('\n').toStdString();

    const QByteArray image = simulator->memory();
    EXPECT_EQ(identificationBlock, image.left(224));
    const QString independent = QStringLiteral("%1").arg(jamcrc(image.left(224)), 8, 16, QLatin1Char('0')).toUpper();
    EXPECT_EQ(worker->SWID.load(), independent);

    const QByteArray complectation = image.mid(0x6051, 2) + image.mid(0x60DE, 1) + image.mid(0x5F00, 8);
    EXPECT_EQ(worker->komplectecu.load(), QString::fromLatin1(complectation.toHex().toUpper()));
    QStringList bytes;
    for (char byte : complectation)
        bytes.append(QString::fromLatin1(QByteArray(1, byte).toHex().toUpper()));
    EXPECT_EQ(worker->komplectecu_b.load(), bytes);

    const QVector<int> axes = worker->axix.load();
    ASSERT_EQ(axes.size(), 512);
    const int starts[] = {0x613C, 0x617C, 0x61BC, 0x61FC, 0x7208, 0x7248, 0x7288, 0x72C8};
    for (int block = 0; block < 8; ++block)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(axes[block * 64 + i], static_cast<quint8>(image[starts[block] + i])) << block << " " << i;
    EXPECT_EQ(simulator->readMemory(0xFD00, 256), QByteArray(256, static_cast<char>(0x80)))
        << "the correction marker area is cleared";
    EXPECT_EQ(simulator->requestLog().at(1), hex("108126"));
}

TEST_F(EcuOverSim, StandardConnectPollsTheStandardFrame) {
    startSimulator(sim::Protocol::Standard);
    connectEcu(Protocol::Standard, "38400");
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= 3; }, kConnectMs))
        << log.lines().join('\n').toStdString();

    const QList<QByteArray> requests = simulator->requestLog();
    ASSERT_GE(requests.size(), 6);
    EXPECT_EQ(requests.mid(0, 3), (QList<QByteArray>{hex("81"), hex("108126"), hex("3E01")}));
    for (qsizetype i = 3; i < requests.size(); ++i)
        EXPECT_EQ(requests[i], hex("2101"));
    EXPECT_TRUE(polling());
    EXPECT_EQ(worker->DiagnosticInfo.load().size(), 36);
    EXPECT_EQ(log.lines(), QStringList({port() + ": >> Открытие порта...", port() + ": >> скорость порта - 38400",
                                        "ECU: >> Starting Communication", "ECU: >> Starting Diagnostic Session",
                                        "ECU: >> Sending \"Tester Present\"", "ECU: >> Диагностика параметров"}));
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_FALSE(worker->MemoryAccessReady.load());
}

TEST_F(EcuOverSim, ASecondConnectOnAnOpenPortDoesNothing) {
    startSimulator(sim::Protocol::Standard);
    connectEcu(Protocol::Standard, "57600");
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= 2; }, kConnectMs));
    const QStringList lines = log.lines();
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }));
    worker->Command.submit({EcuCommandKind::OpenComPort, {port(), "10400", Protocol::Fast, 5, 150}});
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 2; }));
    EXPECT_EQ(outcomes.last(), EcuConnectOutcome::AlreadyOpen);
    const int polled = worker->numlog.load();
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= polled + 2; }));
    EXPECT_EQ(log.lines(), lines);
    EXPECT_TRUE(polling());
    EXPECT_FALSE(simulator->requestLog().mid(3).contains(hex("81")));
    EXPECT_EQ(simulator->requestLog().last(), hex("2101")) << "the open link keeps its protocol";
}

TEST_F(EcuOverSim, RefusesARateTheEcuDoesNotOffer) {
    startSimulator();
    connectEcu(Protocol::Fast, "19200");
    ASSERT_TRUE(waitFor([&] { return log.lines().size() >= 6; }));
    runEventsFor(300);
    EXPECT_EQ(log.lines(),
              QStringList({port() + ": >> Открытие порта...", port() + ": >> скорость порта - 19200",
                           "ECU: >> Starting Communication", "ECU: >> Starting Diagnostic Session",
                           "ERROR: >> Ошибка при выборе скорости порта!", port() + ": >> Закрытие порта..."}));
    EXPECT_EQ(simulator->requestLog(), QList<QByteArray>{hex("81")}) << "the rate is never changed";
    EXPECT_EQ(worker->IsComConnected.load(), 0);
    EXPECT_EQ(worker->IsECUConnected.load(), 0);
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen(); }));
}

// The K-line still echoes the request; the missing answer shows as "null".
TEST_F(EcuOverSim, ReportsAnEcuThatDoesNotAnswer) {
    startSimulator();
    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::StartCommunication});
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return log.lines().size() >= 5; }));
    runEventsFor(300);
    EXPECT_EQ(log.lines().mid(2),
              QStringList({"ECU: >> Starting Communication", "Запрос - 81; Ответ - null; (C16B8F)", "Ошибка №1"}));
    EXPECT_EQ(worker->IsComConnected.load(), 1) << "the port stays open without a session";
    EXPECT_EQ(worker->IsECUConnected.load(), 0);
    EXPECT_EQ(worker->IsDiagnostic.load(), 0);
    EXPECT_EQ(simulator->requestLog(), QList<QByteArray>{hex("81")});
}

TEST_F(EcuOverSim, ReportsAWrongSessionAnswerAndGoesOn) {
    startSimulator();
    simulator->injectFault({sim::FaultKind::NegativeResponse, sim::RequestKind::StartDiagnosticSession});
    connectEcu(Protocol::Standard, "10400");
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= 1; }, kConnectMs));
    EXPECT_TRUE(log.lines().contains("Запрос - 10810A; Ответ - 7F1022; (5081)"))
        << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.lines().contains("Ошибка №1"));
    EXPECT_EQ(worker->IsECUConnected.load(), 1);
}

// An identification read that fails is tried again; one that fails three
// times closes the session and the port, with a line naming the step, so that
// the user can simply connect again.
TEST_F(EcuOverSim, AFailedIdentificationReadIsTriedThreeTimesThenTheSessionCloses) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    // The fault must meet the identification reads, not a configuration read.
    ASSERT_TRUE(waitFor([&] { return simulator->requestLog().contains(hex("230072C840")); }, kConnectMs));
    simulator->injectFault({sim::FaultKind::NegativeResponse, sim::RequestKind::ReadMemory, 0});
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, kConnectMs)) << log.lines().join('\n').toStdString();
    simulator->clearFaults();

    EXPECT_EQ(outcomes, QList<EcuConnectOutcome>{EcuConnectOutcome::IdentificationFailed});
    const QStringList lines = log.lines();
    EXPECT_EQ(lines.count("ECU: << ОШИБКА ЧТЕНИЯ RAM!"), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(ecutext::IdentificationGaveUp));
    EXPECT_EQ(simulator->requestLog().count(hex("2300000030")), 3);
    // The session ends as a disconnect ends it, and the port is free again.
    EXPECT_EQ(simulator->requestLog().mid(simulator->requestLog().size() - 2),
              QList<QByteArray>({hex("20"), hex("82")}));
    EXPECT_EQ(worker->IsComConnected.load(), 0);
    EXPECT_EQ(worker->IsECUConnected.load(), 0);
    EXPECT_EQ(worker->IsDiagnostic.load(), 0);
    EXPECT_EQ(worker->numlog.load(), 0);
    EXPECT_TRUE(identificationBlock.isEmpty());

    // Connect again: this time the first read fails and the second succeeds.
    outcomes.clear();
    simulator->clearRequestLog();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return simulator->requestLog().contains(hex("230072C840")); }, kConnectMs));
    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ReadMemory});
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, kConnectMs)) << log.lines().join('\n').toStdString();
    EXPECT_EQ(outcomes, QList<EcuConnectOutcome>{EcuConnectOutcome::Polling});
    EXPECT_EQ(identificationBlock.size(), 224);
    EXPECT_TRUE(waitFor([&] { return polling(); }));
}

// A clear-step block the ECU refuses is written again; refused three times,
// the connect ends as above.
TEST_F(EcuOverSim, ARefusedClearBlockIsWrittenAgain) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return simulator->requestLog().contains(hex("2300000030")); }, kConnectMs));
    simulator->injectFault({sim::FaultKind::NegativeResponse, sim::RequestKind::WriteMemory, 2});
    ASSERT_TRUE(waitFor([&] { return !outcomes.isEmpty(); }, kConnectMs)) << log.lines().join('\n').toStdString();
    EXPECT_EQ(outcomes, QList<EcuConnectOutcome>{EcuConnectOutcome::Polling});
    QList<int> cleared;
    for (const QByteArray &request : simulator->requestLog())
        if (request.startsWith(hex("3D00")))
            cleared.append((static_cast<std::uint8_t>(request[2]) << 8) | static_cast<std::uint8_t>(request[3]));
    EXPECT_EQ(cleared, QList<int>({0xFD00, 0xFD00, 0xFD00, 0xFD40, 0xFD80, 0xFDC0}));
    EXPECT_EQ(simulator->readMemory(0xFD00, 0x100), QByteArray(0x100, static_cast<char>(0x80)));
}

TEST_F(EcuOverSim, DisconnectEndsTheSessionAtTheInitialRate) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return log.lines().contains("ECU: >> Диагностика параметров"); }, kConnectMs));
    simulator->clearRequestLog();
    log.clear();
    sendCommand(EcuCommandKind::CloseComPort);
    ASSERT_TRUE(waitFor([&] { return worker->IsComConnected.load() == 0; }));

    const QList<QByteArray> requests = simulator->requestLog();
    ASSERT_GE(requests.size(), 2);
    EXPECT_EQ(requests.mid(requests.size() - 2), (QList<QByteArray>{hex("20"), hex("82")}));
    EXPECT_EQ(log.lines(), QStringList({"ECU: >> Stop Diagnostic Session", "ECU: >> Stop Communication",
                                        port() + ": >> Закрытие порта..."}));
    EXPECT_EQ(worker->error.load(), 0) << "both answers arrived at the rates the ECU used";
    EXPECT_EQ(simulator->ecuBaud(), 10400);
    EXPECT_EQ(worker->IsECUConnected.load(), 0);
    EXPECT_EQ(worker->IsDiagnostic.load(), 0);
    EXPECT_EQ(worker->PortTimeOut.load(), 100);
    EXPECT_EQ(worker->PortReadTimeOut.load(), 100);
    EXPECT_FALSE(worker->Command.pending());
    EXPECT_TRUE(waitFor([&] { return !simulator->ecuPortOpen(); }));
}

TEST_F(EcuOverSim, KeepsADisconnectRequestedDuringTheConnect) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return simulator->requestLog().contains(hex("2300000030")); }, kConnectMs));
    sendCommand(EcuCommandKind::CloseComPort); // the connect still runs its memory steps
    ASSERT_TRUE(waitFor([&] { return worker->IsComConnected.load() == 0; }, kConnectMs));
    EXPECT_FALSE(worker->Command.pending());
    EXPECT_EQ(simulator->requestLog().last(), hex("82"));
}

TEST_F(EcuOverSim, ADeviceThatVanishesClosesThePortAndLeavesTheWorkerResponsive) {
    startSimulator();
    connectEcu(Protocol::Fast, "57600");
    ASSERT_TRUE(waitFor([&] { return worker->numlog.load() >= 2; }, kConnectMs));
    simulator->vanish();
    const QString lost = "ОШИБКА: Порт " + port() + " пропал, порт закрыт, связь с ЭБУ прервана!";
    ASSERT_TRUE(waitFor([&] { return log.lines().contains(lost); })) << log.lines().join('\n').toStdString();
    EXPECT_EQ(worker->IsComConnected.load(), 0);
    EXPECT_EQ(worker->IsECUConnected.load(), 0);
    EXPECT_EQ(worker->IsDiagnostic.load(), 0);

    runEventsFor(200); // the request that met the loss still counts
    const int requests = worker->numlog.load();
    runEventsFor(300);
    EXPECT_EQ(worker->numlog.load(), requests) << "polling stops with the device";
    const qsizetype lines = log.lines().size();
    sendCommand(EcuCommandKind::CloseComPort);
    ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
    sendCommand(EcuCommandKind::DiagnosticECU);
    ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
    EXPECT_EQ(log.lines().size(), lines) << "the port is already closed";
}

namespace {

constexpr int kFirmwareReadMs = 300000; // 683 exchanges, each ending when its answer is in
// With the fast exchange a read ends as soon as its answer is whole, so the
// read timeout only bounds a block that never answers: a loaded machine never
// loses a block to it (a paced 30 or 60 ms wait did now and then).
constexpr int kQuickReadTimeOut = 1000;

// The read requests of a whole firmware read, in order.
QList<QByteArray> firmwareReadRequests() {
    QList<QByteArray> requests;
    for (int address = 0; address < 0xFFC0; address += 0x60)
        requests.append(hex("2300") + QByteArray::fromHex(QByteArray::number(address, 16).rightJustified(4, '0')) +
                        hex("60"));
    requests.append(hex("2300FFC040"));
    return requests;
}

class FirmwareReadOverSim : public EcuOverSim {
protected:
    // Connected and polling, then the ECU answers at once and the worker takes
    // each answer as soon as it is in, so that 683 reads take seconds, not minutes.
    void connectForQuickReads() {
        startSimulator();
        connectEcu(Protocol::Fast, "57600", {}, true);
        ASSERT_TRUE(waitFor([&] { return polling(); }, kConnectMs)) << log.lines().join('\n').toStdString();
        simulator->setLineTiming(false);
        simulator->setLatencyMs(0);
        worker->PortTimeOut = 0;
        worker->PortReadTimeOut = kQuickReadTimeOut;
        worker->setFirmwareReadHandler([this](const FirmwareReadResult &result) { results.append(result); });
        progress.clear();
    }

    QList<QByteArray> readRequests() const {
        QList<QByteArray> reads;
        for (const QByteArray &request : simulator->requestLog())
            if (request.startsWith('\x23'))
                reads.append(request);
        return reads;
    }

    QList<FirmwareReadResult> results;
};

} // namespace

TEST_F(FirmwareReadOverSim, ReadsTheWholeImageInBlocksAndResumesPolling) {
    connectForQuickReads();
    simulator->clearRequestLog();
    sendCommand(EcuCommandKind::ReadFW);
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kFirmwareReadMs)) << log.lines().join('\n').toStdString();

    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].complete) << log.lines().join('\n').toStdString();
    EXPECT_EQ(results[0].image, simulator->memory()) << "the image byte for byte";
    const QList<QByteArray> expected = firmwareReadRequests();
    ASSERT_EQ(expected.size(), 683);
    const QList<QByteArray> reads = readRequests();
    ASSERT_EQ(reads.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        ASSERT_EQ(reads[i].toHex(), expected[i].toHex()) << "read " << i;

    EXPECT_TRUE(appended.contains(QStringLiteral("ECU: >> Read RAM ")));
    EXPECT_EQ(progress.first(), qMakePair(682, 0));
    EXPECT_TRUE(progress.contains(qMakePair(682, 682)));
    EXPECT_EQ(progress.last(), qMakePair(682, 0));
    const int polls = worker->numlog.load();
    EXPECT_TRUE(waitFor([&] { return polling() && worker->numlog.load() > polls + 2; })) << "polling resumes";
}

// A block that never answers is asked for three times, each retry logged,
// then ends the read; the window learns which one, and the diagnostic
// polling the read stopped comes back.
TEST_F(FirmwareReadOverSim, ABlockWithoutAnswerEndsTheReadAndPollingResumes) {
    connectForQuickReads();
    simulator->clearRequestLog();
    sendCommand(EcuCommandKind::ReadFW);
    ASSERT_TRUE(waitFor([&] { return readRequests().size() >= 10; }, kFirmwareReadMs));
    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ReadMemory, 0});
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kFirmwareReadMs)) << log.lines().join('\n').toStdString();
    simulator->clearFaults();

    ASSERT_EQ(results.size(), 1);
    EXPECT_FALSE(results[0].complete);
    EXPECT_TRUE(results[0].image.isEmpty());
    const QList<QByteArray> reads = readRequests();
    ASSERT_GE(reads.size(), 13);
    const int failed = results[0].failedAddress;
    EXPECT_GE(failed, 10 * 0x60);
    const QByteArray failedRead = firmwareReadRequests().at(failed / 0x60);
    EXPECT_EQ(reads.mid(reads.size() - 3), QList<QByteArray>(3, failedRead)) << "three tries, nothing after them";
    const QString address = QString::number(failed, 16).toUpper().rightJustified(4, u'0');
    EXPECT_TRUE(appended.contains(ecutext::FirmwareRetry.arg(address).arg(1)));
    EXPECT_TRUE(appended.contains(ecutext::FirmwareRetry.arg(address).arg(2)));
    EXPECT_TRUE(
        appended.contains(QStringLiteral("ECU: << Прошивка не считана: нет ответа на чтение адреса ") + address))
        << appended.join('\n').toStdString();
    EXPECT_EQ(progress.last(), qMakePair(682, 0));
    const int polls = worker->numlog.load();
    EXPECT_TRUE(waitFor([&] { return polling() && worker->numlog.load() > polls + 2; })) << "polling resumes";
}

// Lost and spoilt answers here and there cost a retry each, not the read.
TEST_F(FirmwareReadOverSim, ABadAnswerIsReadAgainAndTheImageComesWhole) {
    connectForQuickReads();
    simulator->clearRequestLog();
    sendCommand(EcuCommandKind::ReadFW);
    ASSERT_TRUE(waitFor([&] { return readRequests().size() >= 5; }, kFirmwareReadMs));
    // The same block: lost, then spoilt, then read.
    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ReadMemory});
    simulator->injectFault({sim::FaultKind::BadChecksum, sim::RequestKind::ReadMemory});
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, kFirmwareReadMs)) << log.lines().join('\n').toStdString();

    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].complete) << appended.join('\n').toStdString();
    EXPECT_EQ(results[0].image, simulator->memory());
    EXPECT_EQ(readRequests().size(), 683 + 2);
    int retries = 0;
    for (const QString &line : appended)
        retries += line.startsWith(QStringLiteral("ECU: << Блок ")) ? 1 : 0;
    EXPECT_EQ(retries, 2);
}
