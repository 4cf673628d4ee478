// The actuator controls of the diagnostic panel against the simulated ECU:
// what each user action sends, and what the controls show afterwards.
#include "app/ActuatorLayout.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "ecu/EcuTexts.h"
#include "sim/Simulator.h"

#include "SimulatedCar.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace korvel;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;

QList<QByteArray> hexList(std::initializer_list<const char *> texts) {
    QList<QByteArray> out;
    for (const char *text : texts)
        out.append(QByteArray::fromHex(text));
    return out;
}

// A session connected to the simulated ECU in the fast protocol.
struct Rig {
    Rig() {
        sim::SimulatorOptions options = test::quickSimulatorOptions();
        options.wideband = sim::WidebandType::None;
        simulator = std::make_unique<sim::Simulator>(options);
        QString error;
        started = simulator->start(&error);
        EXPECT_TRUE(started) << error.toStdString();
        sim::EngineState engine = test::steadyCruise();
        engine.ignition = 12;
        simulator->setEngineState(engine);
        SettingsList config;
        EXPECT_TRUE(config.load(work.path("config.ini")));
        config.setValue(setting::EcuCom, simulator->ecuDevicePath());
        config.setValue(setting::Protocol, setting::FastProtocol);
        config.setValue(setting::OxygenSensor, setting::Narrowband);
        // Answers come well inside the read pause even on a loaded machine.
        config.setValue(setting::Timeout1, QStringLiteral("5"));
        config.setValue(setting::Timeout2, QStringLiteral("250"));
        EXPECT_EQ(config.save(work.path("config.ini")), QString());
        session = std::make_unique<Session>(work.path());
        EXPECT_TRUE(session->startUp());
        session->timers().Timer3.setInterval(50);
        // The post-connect set-up raises the tuning grid's page, which is a
        // way out of the actuator controls: it comes before the test acts.
        session->timers().Timer5.setInterval(100);
        QObject::connect(session.get(), &Session::connectionSetUp, [this] { setUp = true; });
    }

    // Connected, polling, the controls built and the post-connect set-up done.
    bool connect() {
        session->connectEcu();
        return waitFor([&] { return session->actuators().built() && setUp; }, kConnectMs);
    }

    // Runs `action` and waits until the worker has finished `actions`
    // actuator commands; the actuator requests sent meanwhile, in order.
    QList<QByteArray> sentBy(const std::function<void()> &action, int actions = 1) {
        simulator->clearRequestLog();
        const QStringList &log = session->log().lines();
        const qsizetype before = log.count(ecutext::ActuatorDone);
        action();
        EXPECT_TRUE(waitFor([&] {
            return session->log().lines().count(ecutext::ActuatorDone) >= before + actions &&
                   session->actuators().waitingCount() == 0 && !session->workers().ecu().Command.pending();
        })) << session->log().lines().join('\n').toStdString();
        QList<QByteArray> sent;
        for (const QByteArray &request : simulator->requestLog())
            if (request.startsWith('\x30'))
                sent.append(request);
        return sent;
    }

    test::WorkDir work;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    bool started = false;
    bool setUp = false;
};

} // namespace

TEST(ActuatorControls, EachUserActionSendsItsCommandAndTheStateIsShown) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ActuatorController &a = s.actuators();
    EXPECT_FALSE(a.built());
    ASSERT_TRUE(rig.connect()) << s.log().lines().join('\n').toStdString();

    // Ticking the box reads the selected actuator (ignition advance, 12° = 0x18).
    EXPECT_EQ(rig.sentBy([&] { a.setChecked(true); }), hexList({"304A01"}));
    EXPECT_TRUE(waitFor([&] { return a.valueText() == "12" && a.trackPosition() == 0x18 && a.stateShown(); }));

    // Imposing a value: one adjustment, one read back. The first move of a
    // row only marks its position.
    EXPECT_EQ(rig.sentBy([&] { a.moveTrackBar(0x14); }), hexList({"304A0714", "304A01"}));
    EXPECT_EQ(a.rows()[0].sentPosition, 0x14);
    EXPECT_FALSE(a.rows()[0].overridden);
    EXPECT_TRUE(waitFor([&] { return a.valueText() == "10" && a.trackPosition() == 0x14; }));
    EXPECT_EQ(rig.sentBy([&] { a.moveTrackBar(0x14); }), hexList({"304A0714", "304A01"}));
    EXPECT_FALSE(a.rows()[0].overridden) << "the same position again";
    EXPECT_EQ(rig.sentBy([&] { a.moveTrackBar(0xFE); }), hexList({"304A07FE", "304A01"}));
    EXPECT_TRUE(a.rows()[0].overridden);
    EXPECT_TRUE(waitFor([&] { return a.valueText() == "-1" && a.trackPosition() == 0xFE; }));

    // A drag sends its first position and then only the last one.
    EXPECT_EQ(rig.sentBy(
                  [&] {
                      for (int position : {1, 2, 3, 4})
                          a.moveTrackBar(position);
                  },
                  2),
              hexList({"304A0701", "304A01", "304A0704", "304A01"}));

    // The selected row's indicator returns control and reads the state once.
    EXPECT_EQ(rig.sentBy([&] { a.clickIndicator(0); }), hexList({"304A00", "304A01"}));
    EXPECT_FALSE(a.rows()[0].overridden);

    // Another row's indicator only returns control; the drop-down reads its row.
    EXPECT_EQ(rig.sentBy([&] { a.selectRow(6); }), hexList({"304E01"}));
    EXPECT_TRUE(waitFor([&] { return a.valueText() == "88"; }));
    EXPECT_EQ(rig.sentBy([&] { a.clickIndicator(0); }), hexList({"304A00"}));

    // Unticking hands all eight back, in row order, as one command.
    EXPECT_EQ(rig.sentBy([&] { a.setChecked(false); }),
              hexList({"304A00", "304200", "304100", "304D00", "304900", "304C00", "304E00", "304B00"}));
    EXPECT_TRUE(s.workers().ecu().ControlState.load().isEmpty());
    EXPECT_FALSE(a.stateShown());

    // The controls outlive the connection.
    s.disconnectEcu();
    ASSERT_TRUE(waitFor([&] { return !s.isConnecting() && s.workers().ecu().IsComConnected.load() == 0; }));
    EXPECT_TRUE(a.built());
}

// Every way out of the actuator controls hands the imposed actuators back to
// the ECU before it goes on: another page, a disconnect, a firmware read, the
// end of the program.
TEST(ActuatorControls, EveryWayOutHandsTheActuatorsBack) {
    Rig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ActuatorController &a = s.actuators();
    const TECUThread &ecu = s.workers().ecu();
    const auto force = [&](int value) {
        s.showPagesFor(control::TButshowBiglDia);
        rig.sentBy([&] { a.setChecked(true); });
        EXPECT_EQ(rig.sentBy([&] { a.moveTrackBar(value); }).first(), QByteArray::fromHex("304A07") + char(value));
        EXPECT_EQ(ecu.forcedActuators.load(), 1);
        rig.simulator->clearRequestLog();
    };
    // The requests from the first release on, without the diagnostic polls.
    const auto sentFromRelease = [&] {
        QList<QByteArray> sent = rig.simulator->requestLog();
        sent.removeAll(QByteArray::fromHex("210F"));
        return sent.mid(sent.indexOf(QByteArray::fromHex("304A00")));
    };
    ASSERT_TRUE(rig.connect()) << s.log().lines().join('\n').toStdString();

    force(0x14);
    EXPECT_EQ(rig.sentBy([&] { s.showPagesFor(control::TButshowgrid); }),
              hexList({"304A00", "304200", "304100", "304D00", "304900", "304C00", "304E00", "304B00", "304A01"}));
    EXPECT_FALSE(a.checked());
    EXPECT_EQ(ecu.forcedActuators.load(), 0);

    force(0x16);
    s.disconnectEcu();
    ASSERT_TRUE(waitFor([&] { return !s.isConnecting() && ecu.IsComConnected.load() == 0; }, kConnectMs));
    EXPECT_EQ(sentFromRelease(), hexList({"304A00", "304A01", "20", "82"}));

    rig.setUp = false;
    ASSERT_TRUE(rig.connect()) << s.log().lines().join('\n').toStdString();
    force(0x17);
    rig.session.reset(); // the window closes
    EXPECT_EQ(sentFromRelease(), hexList({"304A00", "304A01", "20", "82"}));

    // A firmware read: the release goes out before the first block is read.
    Rig reader;
    ASSERT_TRUE(reader.started);
    ASSERT_TRUE(reader.connect());
    Session &r = *reader.session;
    r.showPagesFor(control::TButshowBiglDia);
    reader.sentBy([&] { r.actuators().setChecked(true); });
    reader.sentBy([&] { r.actuators().moveTrackBar(0x15); });
    reader.simulator->clearRequestLog();
    r.readFirmware();
    ASSERT_TRUE(waitFor([&] { return reader.simulator->requestLog().contains(QByteArray::fromHex("2300000060")); }));
    QList<QByteArray> sent = reader.simulator->requestLog();
    sent.removeAll(QByteArray::fromHex("210F"));
    EXPECT_EQ(sent.mid(0, 10), hexList({"304A00", "304200", "304100", "304D00", "304900", "304C00", "304E00", "304B00",
                                        "304A01", "2300000060"}));
    EXPECT_EQ(r.workers().ecu().forcedActuators.load(), 0);
}

// The actuator controls stack under the channel list; ticking the box
// halves the list.
TEST(ActuatorControls, StackUnderTheChannelList) {
    ActuatorLayoutInput in{300, 600, 18, 20, 24, 15, false, false};
    ActuatorLayoutResult at = actuatorLayout(in);
    EXPECT_EQ(at.list, QRect(0, 18, 300, 554));
    EXPECT_EQ(at.checkBox, QRect(6, 576, 292, 20));

    in.checked = true;
    in.justChecked = true;
    at = actuatorLayout(in);
    EXPECT_EQ(at.list, QRect(0, 18, 300, 241)); // Round(582 / 2) − 50
    EXPECT_EQ(at.checkBox, QRect(6, 279, 292, 20));
    EXPECT_EQ(at.combo, QRect(4, 319, 292, 24));
    EXPECT_EQ(at.trackBar, QRect(4, 353, 292, 24));
    EXPECT_EQ(at.value, QRect(25, 387, 240, 80));
    EXPECT_EQ(at.names[0].topLeft(), QPoint(4, 477));
    EXPECT_EQ(at.indicators[0], QRect(265, 477, 15, 15));
    EXPECT_EQ(at.indicators[7], QRect(265, 582, 15, 15));

    in.justChecked = false; // a resize keeps the box 4 below the list
    EXPECT_EQ(actuatorLayout(in).checkBox.top(), 263);
    in.panelHeight = 601; // Round(291.5) is 292: halves go to even
    EXPECT_EQ(actuatorLayout(in).list.height(), 242);
}
