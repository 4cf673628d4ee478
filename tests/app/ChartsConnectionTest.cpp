// The full diagnostic view's charts and the acceleration test on a live
// connection to the simulated ECU: built when polling starts, restored from
// the layout file, fed by every processed frame, released at disconnect.
#include "app/AccelerationController.h"
#include "app/ChartsController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/Cp1251.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "live/FrameLayout.h"
#include "sim/Simulator.h"

#include "SimulatedCar.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;
using korvel::test::waitFor;

namespace {

using test::kConnectMs;

struct ChartsRig {
    ChartsRig() {
        simulator = std::make_unique<sim::Simulator>(test::quickSimulatorOptions());
        QString error;
        started = simulator->start(&error);
        EXPECT_TRUE(started) << error.toStdString();
        simulator->setEngineState(test::steadyCruise());
        SettingsList config;
        EXPECT_TRUE(config.load(work.path("config.ini")));
        config.setValue(setting::EcuCom, simulator->ecuDevicePath());
        config.setValue(setting::LambdaCom, simulator->lambdaDevicePath());
        config.setValue(setting::Protocol, setting::FastProtocol);
        EXPECT_EQ(config.save(work.path("config.ini")), QString());
        session = std::make_unique<Session>(work.path());
        EXPECT_TRUE(session->startUp());
    }

    bool connectAndBuild() {
        session->connectEcu();
        return waitFor([&] { return session->charts().built(); }, kConnectMs) &&
               waitFor([&] { return session->charts().framesSinceBuild() >= 3; }, kConnectMs);
    }

    bool disconnect() {
        session->disconnectEcu();
        return waitFor([&] { return !session->isConnecting() && session->workers().ecu().IsComConnected.load() == 0; });
    }

    test::WorkDir work;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    bool started = false;
};

int channelOf(const char *name) {
    return static_cast<int>(channelNames(Protocol::Fast).indexOf(QString::fromUtf8(name))) + 1;
}

QByteArray layoutFile(const QList<std::pair<int, int>> &shown) {
    QByteArray bytes = cp1251::encode(QStringLiteral("Графики")) + "\r\n";
    for (int q = 1; q <= 56; ++q) {
        int slot = -1;
        for (const auto &[channel, s] : shown)
            if (channel == q)
                slot = s;
        bytes += QByteArray::number(slot) + "\r\n";
    }
    return bytes;
}

} // namespace

TEST(SessionCharts, BuiltAtPollingRestoredFromTheFileAndFedByEveryFrame) {
    ChartsRig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    const int speed = channelOf("Скорость автомобиля");
    const int rpm = channelOf("Скорость вращения двигателя");
    ASSERT_GT(speed, 0);
    ASSERT_GT(rpm, 0);
    rig.work.write("doNOTchange.cfg", layoutFile({{speed, 2}}));

    ASSERT_TRUE(rig.connectAndBuild()) << s.log().lines().join('\n').toStdString();
    ChartsController &charts = s.charts();
    EXPECT_EQ(charts.channelCount(), 56);
    EXPECT_EQ(charts.chartSlots().slot(speed), 2) << "the file's slot, the area above it empty";
    EXPECT_EQ(charts.chartSlots().nextSlot(), 2);
    EXPECT_EQ(charts.chartHeight(), 140);

    ASSERT_TRUE(waitFor([&] { return charts.valueText(speed) == "72" && charts.valueText(rpm) == "2480"; }));
    EXPECT_EQ(charts.points(speed).size(), 62) << "history position 20";
    EXPECT_EQ(charts.points(speed).last(), 72.f) << "the newest drawn sample is the previous frame's";
    EXPECT_EQ(charts.points(rpm).size(), 62) << "hidden charts move on as well";

    charts.setTicked(rpm, true);
    EXPECT_EQ(charts.chartSlots().slot(rpm), 2) << "the next slot, colliding with the file's";
    const QList<QByteArray> lines = rig.work.read("doNOTchange.cfg").split('\n');
    EXPECT_EQ(lines.at(speed), "2\r");
    EXPECT_EQ(lines.at(rpm), "2\r");
    EXPECT_EQ(lines.at(1), "-1\r");

    // The acceleration test on the same frames (the car cruises at 72).
    AccelerationController &acceleration = s.acceleration();
    QSignalSpy listed(&acceleration, &AccelerationController::runsListed);
    acceleration.setStartText("10");
    acceleration.setEndText("50");
    acceleration.toggleArmed();
    ASSERT_TRUE(waitFor([&] { return !acceleration.test().armed(); }));
    EXPECT_EQ(s.controls().text(control::LabelSpeed), "Время разгона:0") << "start and end on one frame";
    EXPECT_EQ(s.controls().color(control::RazgonSpeed), control::kRed);
    EXPECT_TRUE(s.controls().isVisible(control::ComboBoxRazgon));
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(listed.last().at(0).toStringList(), QStringList{"Разгон = 1"});

    acceleration.setEndText("300");
    acceleration.toggleArmed();
    ASSERT_TRUE(waitFor([&] { return acceleration.test().running(); }));
    EXPECT_EQ(s.controls().color(control::RazgonSpeed), control::kGreen);
    EXPECT_TRUE(s.timers().TimerRazgon.isActive());
    acceleration.toggleArmed();
    EXPECT_FALSE(acceleration.test().running());

    acceleration.setEndText("сто");
    acceleration.toggleArmed();
    ASSERT_TRUE(waitFor([&] { return !acceleration.test().armed(); }));
    EXPECT_EQ(s.log().lines().filter("Тест разгона остановлен").size(), 1);
    EXPECT_FALSE(s.timers().TimerRazgon.isActive());

    // Disconnect releases the charts; the next connection restores what the file now says.
    ASSERT_TRUE(rig.disconnect());
    EXPECT_FALSE(charts.built());
    rig.work.write("doNOTchange.cfg", layoutFile({{rpm, 1}}));
    ASSERT_TRUE(rig.connectAndBuild());
    EXPECT_EQ(charts.chartSlots().slot(rpm), 1);
    EXPECT_EQ(charts.chartSlots().slot(speed), -1) << "fresh controls";
    EXPECT_EQ(acceleration.test().finishedRuns(), QStringList{}) << "runs are counted per connection";
    ASSERT_TRUE(rig.disconnect());
}
