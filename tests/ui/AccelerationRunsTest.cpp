// Two acceleration runs against the simulated car, as the acceleration page
// shows them afterwards.
#include "app/AccelerationController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "live/AccelerationTest.h"
#include "sim/DemoRig.h"
#include "ui/MainWindow.h"

#include "TestSupport.h"
#include "WaitFor.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kConnectMs = 60000;

// The car speeds up from 5 to 80 km/h in steps, a step per `pace` ms.
bool accelerate(sim::Simulator &car, sim::EngineState state, AccelerationController &acceleration, int pace) {
    for (double speed = 5; speed <= 80; speed += 5) {
        state.vehicleSpeed = speed;
        state.rpm = 900 + speed * 45;
        state.throttle = 60;
        car.setEngineState(state);
        test::runEventsFor(pace);
    }
    return waitFor([&] { return !acceleration.test().armed(); });
}

} // namespace

TEST(AccelerationRuns, TwoRunsAgainstTheSimulatedCarAreListedAndShown) {
    test::WorkDir work;
    sim::DemoRig rig(work.path());
    QString error;
    ASSERT_TRUE(rig.start(&error)) << error.toStdString();
    sim::EngineState state;
    state.rpm = 900;
    state.coolantTemp = 90;
    state.vehicleSpeed = 5;
    state.afrTarget = 14.7;
    rig.simulator()->setEngineState(state);

    Session session(work.path());
    // A patient read timeout: the simulator shares a busy machine.
    auto overrides = rig.settingOverrides();
    overrides.append({setting::Timeout2, QStringLiteral("600")});
    session.setSettingOverrides(overrides);
    ui::MainWindow window(session);
    window.resize(1280, 791);
    window.show();
    ASSERT_TRUE(session.startUp());
    session.connectEcu();
    ASSERT_TRUE(waitFor([&] { return session.live().engine().processedFrames() >= 5; }, kConnectMs))
        << session.log().lines().join('\n').toStdString();
    session.raisePage(control::Panelrazgon);

    AccelerationController &acceleration = session.acceleration();
    auto *start = window.findChild<QLineEdit *>(QStringLiteral("Pointrazgon1"));
    auto *end = window.findChild<QLineEdit *>(QStringLiteral("Pointrazgon2"));
    auto *arm = window.findChild<QPushButton *>(QStringLiteral("BitBtn25"));
    ASSERT_TRUE(start && end && arm);
    start->setText("10");
    end->setText("60");
    for (int pace : {250, 150}) {
        QTest::mouseClick(arm, Qt::LeftButton);
        ASSERT_TRUE(acceleration.test().armed());
        ASSERT_TRUE(accelerate(*rig.simulator(), state, acceleration, pace))
            << session.log().lines().join('\n').toStdString();
        state.vehicleSpeed = 5;
        rig.simulator()->setEngineState(state);
        test::runEventsFor(300);
    }
    auto *runs = window.findChild<QComboBox *>(control::ComboBoxRazgon);
    ASSERT_NE(runs, nullptr);
    EXPECT_EQ(runs->count(), 2);
    EXPECT_EQ(acceleration.test().finishedRuns().size(), 2)
        << acceleration.test().finishedRuns().join('\n').toStdString();
    test::runEventsFor(200);
    const QImage shot = window.grab().toImage();
    EXPECT_TRUE(shot.save(QDir(test::artifactDir()).filePath("acceleration-two-runs.png")));
    if (const QByteArray dir = qgetenv("KORVEL_SHOTS"); !dir.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(dir)).filePath("acceleration-two-runs.png"));
    session.disconnectEcu();
    ASSERT_TRUE(waitFor([&] { return !session.isConnecting(); }));
    session.shutDown();
}
