// Actuator control: the values shown for each actuator, and the worker's
// actuator actions against the simulated ECU.
#include "Hex.h"
#include "SimulatedCar.h"
#include "WaitFor.h"
#include "core/ProgramLog.h"
#include "ecu/ActuatorStep.h"
#include "ecu/ActuatorTable.h"
#include "ecu/EcuTexts.h"
#include "ecu/TECUThread.h"
#include "sim/Simulator.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace korvel;
using korvel::test::runEventsFor;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;
const QString kDone = QStringLiteral("ECU: >>ИМ-ОК ");

using korvel::test::hex;

QList<QByteArray> hexList(std::initializer_list<const char *> texts) {
    QList<QByteArray> out;
    for (const char *text : texts)
        out.append(hex(text));
    return out;
}

} // namespace

TEST(ActuatorTable, ShowsEachRowsValueFromItsByte) {
    QByteArray frame(51, '\0');
    frame[18] = static_cast<char>(0x83); // the injection correction is read from the frame
    struct Case {
        int row;
        const char *state;
        std::optional<QString> shown;
    };
    const Case cases[] = {
        {0, "14000000", "10"},       // half degrees
        {0, "FE000000", "-1"},       // signed
        {0, "80", "-64"},            // the most negative byte
        {1, "0000004B", "750"},      // the idle target sits in byte 3
        {1, "4B0000", std::nullopt}, // ... which a short state lacks
        {2, "37", "55"},
        {3, "00", "1.012"}, // (0x83 + 128) / 256 = 1.01171875
        {3, "", "1.012"},   // taken from the frame whatever the state
        {4, "00000000", "7.35"},
        {4, "FF", "21.99"},
        {5, "0A", "60"},
        {6, "00", "-40"},
        {6, "82", "90"},
        {7, "F5", "-5.5"},
        {0, "", std::nullopt},   // a short answer shows nothing new
        {8, "14", std::nullopt}, // no such row
    };
    for (const Case &c : cases)
        EXPECT_EQ(actuatorDisplayedValue(c.row, hex(c.state), frame), c.shown) << "row " << c.row << " " << c.state;

    EXPECT_EQ(actuatorDisplayedValue(3, hex("00"), QByteArray(18, '\0')), std::nullopt) << "frame too short";
    // The track bar follows byte 0, byte 3 for the idle target.
    EXPECT_EQ(actuatorTrackPosition(0, hex("FE000000")), 254);
    EXPECT_EQ(actuatorTrackPosition(1, hex("0000004B")), 0x4B);
    EXPECT_EQ(actuatorTrackPosition(1, hex("00")), std::nullopt);
}

namespace {

class ActuatorOverSim : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        options.latencyMs = 10;
        options.lineTiming = true;
        options.wideband = sim::WidebandType::None;
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        worker = std::make_unique<TECUThread>(&log);
        QObject::connect(&log, &ProgramLog::appended, [this](const QString &line) { appended.append(line); });
        worker->start();
    }
    void TearDown() override {
        if (worker)
            worker->shutdown();
        if (simulator)
            simulator->stop();
    }

    void connectFast() {
        ASSERT_TRUE(worker->Command.submit(
            {EcuCommandKind::OpenComPort, {simulator->ecuDevicePath(), "57600", Protocol::Fast, 5, 150}}));
        ASSERT_TRUE(waitFor([&] { return worker->IsDiagnostic.load() == 1; }, kConnectMs))
            << log.lines().join('\n').toStdString();
    }

    // Runs one action to its end; the actuator requests it sent, in order.
    QList<QByteArray> run(const ActuatorCommand &action) {
        simulator->clearRequestLog();
        const qsizetype done = appended.count(kDone);
        EXPECT_TRUE(worker->Command.submit(EcuCommand::inputOutputControl(action)));
        EXPECT_TRUE(waitFor([&] { return appended.count(kDone) > done; }));
        EXPECT_FALSE(worker->Command.pending());
        QList<QByteArray> sent;
        for (const QByteArray &request : simulator->requestLog())
            if (request.startsWith('\x30'))
                sent.append(request);
        return sent;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<TECUThread> worker;
    ProgramLog log;
    QStringList appended;
};

ActuatorCommand action(std::uint8_t id, std::uint8_t parameter, std::uint8_t parameter2 = 0, std::uint8_t value = 0) {
    static std::uint32_t serial = 0;
    ActuatorCommand command;
    command.inputOutputLocalIdentifier = id;
    command.inputOutputControlParameter = parameter;
    command.inputOutputControlParameter2 = parameter2;
    command.ControlStatezapros = value;
    command.serial = ++serial;
    return command;
}

} // namespace

// Each action of the actuator panel, one after the other on one connection.
TEST_F(ActuatorOverSim, EachActionSendsItsRequestsThenLogsDone) {
    connectFast();
    struct Case {
        const char *what;
        ActuatorCommand action;
        std::optional<sim::FaultRule> fault; // meets the action's first request
        QList<QByteArray> sent;
        QByteArray stateAfter;
    };
    const sim::FaultRule noAnswer{sim::FaultKind::NoAnswer, sim::RequestKind::ActuatorControl};
    const Case cases[] = {
        {"read the state", action(0x4A, 0x01), {}, hexList({"304A01"}), hex("00000000")},
        {"impose a value", action(0x4A, 0x07, 0, 0x14), {}, hexList({"304A0714", "304A01"}), hex("14000000")},
        {"release the selected row", action(0x4A, 0x00, 0xFF), {}, hexList({"304A00", "304A01"}), hex("00000000")},
        {"release another row", action(0x41, 0x00), {}, hexList({"304100"}), {}},
        {"release all",
         action(0x4A, 0x00, 0xEE),
         {},
         hexList({"304A00", "304200", "304100", "304D00", "304900", "304C00", "304E00", "304B00"}),
         {}},
        // No answer: a read is asked again, an imposed value is read back anyway.
        {"read without answer", action(0x4E, 0x01), noAnswer, hexList({"304E01", "304E01"}), hex("82000000")},
        {"impose without answer", action(0x4E, 0x07, 0, 0x50), noAnswer, hexList({"304E0750", "304E01"}),
         hex("82000000")},
    };
    sim::EngineState engine;
    engine.coolantTemp = 90;
    engine.ignition = 0;
    simulator->setEngineState(engine);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fault)
            simulator->injectFault(*c.fault);
        EXPECT_EQ(run(c.action), c.sent);
        EXPECT_EQ(worker->ControlState.load(), c.stateAfter);
    }
    // Each state byte of an answer is a log line of its own, before the done line.
    const qsizetype done = appended.lastIndexOf(kDone);
    ASSERT_GE(done, 4);
    EXPECT_EQ(appended.mid(done - 4, 4), QStringList({"82", "00", "00", "00"}));
    // Polling resumes after each action.
    runEventsFor(300);
    EXPECT_TRUE(simulator->requestLog().contains(hex("210F")));
}

// Without a session the action is dropped: nothing is sent and nothing waits.
TEST_F(ActuatorOverSim, ActionWithoutSessionIsDropped) {
    ASSERT_TRUE(worker->Command.submit(EcuCommand::inputOutputControl(action(0x4A, 0x01))));
    ASSERT_TRUE(waitFor([&] { return !worker->Command.pending(); }));
    EXPECT_FALSE(appended.contains(kDone));
    EXPECT_TRUE(simulator->requestLog().isEmpty());
}

// A return of control counts only when the ECU answered it: an unanswered
// release is sent again, and the actuator that was imposed is read back.
TEST_F(ActuatorOverSim, AnUnansweredReleaseIsSentAgainAndReadBack) {
    connectFast();
    sim::EngineState engine;
    engine.ignition = 12; // the ECU's own value: 0x18
    simulator->setEngineState(engine);
    EXPECT_EQ(run(action(0x4A, 0x07, 0, 0x14)), hexList({"304A0714", "304A01"}));
    EXPECT_EQ(worker->forcedActuators.load(), 1);

    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ActuatorControl});
    EXPECT_EQ(run(action(0x4A, 0x00, 0xEE)), hexList({"304A00", "304A00", "304200", "304100", "304D00", "304900",
                                                      "304C00", "304E00", "304B00", "304A01"}));
    EXPECT_EQ(worker->forcedActuators.load(), 0);
    EXPECT_EQ(run(action(0x4A, 0x01)), hexList({"304A01"}));
    EXPECT_EQ(worker->ControlState.load(), hex("18000000")) << "the ECU has its ignition advance back";
}

// An ECU that never takes the release: the sweep tries each three times, then
// names the actuator that stays forced instead of reporting success; the
// close of the session hands it back before it ends the session.
TEST_F(ActuatorOverSim, AnActuatorThatStaysForcedIsNamedAndReleasedAtClose) {
    connectFast();
    sim::EngineState engine;
    engine.ignition = 12;
    simulator->setEngineState(engine);
    EXPECT_EQ(run(action(0x4A, 0x07, 0, 0x14)), hexList({"304A0714", "304A01"}));

    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::ActuatorControl, 0});
    simulator->clearRequestLog();
    const qsizetype done = appended.count(kDone);
    ASSERT_TRUE(worker->Command.submit(EcuCommand::inputOutputControl(action(0x4A, 0x00, 0xEE))));
    const QString stillForced = ecutext::ActuatorStillForced + QStringLiteral("УОЗ");
    ASSERT_TRUE(waitFor([&] { return appended.contains(stillForced); })) << appended.join('\n').toStdString();
    EXPECT_FALSE(worker->Command.pending());
    EXPECT_EQ(simulator->requestLog().count(hex("304A00")), ActuatorStep::ReleaseAttempts);
    EXPECT_EQ(appended.count(kDone), done) << "no success while an actuator stays forced";
    EXPECT_EQ(worker->forcedActuators.load(), 1);

    // The ECU listens again; the close hands the actuator back, then ends the
    // session. Even when the 20 goes unanswered, the 82 is sent.
    simulator->clearFaults();
    simulator->injectFault({sim::FaultKind::NoAnswer, sim::RequestKind::StopDiagnosticSession});
    simulator->clearRequestLog();
    ASSERT_TRUE(worker->Command.submit({EcuCommandKind::CloseComPort, {}}));
    ASSERT_TRUE(waitFor([&] { return worker->IsComConnected.load() == 0; }));
    QList<QByteArray> sent = simulator->requestLog();
    sent.removeAll(hex("210F"));
    EXPECT_EQ(sent, hexList({"304A00", "304A01", "20", "82"}));
    EXPECT_EQ(worker->forcedActuators.load(), 0);
}
