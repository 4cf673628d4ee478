// Two acceleration runs against the simulated car, as the acceleration page
// shows them afterwards.
#include "app/AccelerationController.h"
#include "live/AccelerationTest.h"

#include "DemoWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace korvel;
using korvel::test::waitFor;

namespace {

// The car speeds up from standstill to 105 km/h in steps, a step per `pace` ms.
bool accelerate(sim::Simulator &car, sim::EngineState state, AccelerationController &acceleration, int pace) {
    for (double speed = 0; speed <= 105; speed += 5) {
        state.vehicleSpeed = speed;
        state.rpm = 900 + speed * 45;
        state.throttle = 60;
        car.setEngineState(state);
        test::runEventsFor(pace);
    }
    return waitFor([&] { return !acceleration.test().armed(); });
}

} // namespace

TEST(AccelerationRuns, TwoRunsFromZeroToHundredAreTimedListedAndShown) {
    test::DemoWindow demo;
    QString error;
    ASSERT_TRUE(demo.startCar(&error)) << error.toStdString();
    sim::EngineState state;
    state.rpm = 900;
    state.coolantTemp = 90;
    state.vehicleSpeed = 0;
    state.afrTarget = 14.7;
    demo.rig.simulator()->setEngineState(state);
    ASSERT_TRUE(demo.openWindow());
    // The run counts frames by the tuning grid's window hits, which start once the set-up has built the grid.
    ASSERT_TRUE(demo.connectAndSetUp()) << demo.log();
    Session &session = *demo.session;
    session.raisePage(control::Panelrazgon);

    AccelerationController &acceleration = session.acceleration();
    auto *start = demo.window->findChild<QLineEdit *>(QStringLiteral("Pointrazgon1"));
    auto *end = demo.window->findChild<QLineEdit *>(QStringLiteral("Pointrazgon2"));
    auto *arm = demo.window->findChild<QPushButton *>(QStringLiteral("BitBtn25"));
    ASSERT_TRUE(start && end && arm);
    start->setText("0");
    end->setText("100");
    for (int pace : {200, 120}) {
        // Armed only once the frames show the car standing, or the last run's speed would end this one at once.
        ASSERT_TRUE(waitFor([&] { return session.live().engine().parameters().vehicleSpeed == 0; }));
        QTest::mouseClick(arm, Qt::LeftButton);
        ASSERT_TRUE(acceleration.test().armed());
        const int emptyRun = acceleration.runs().columns();
        ASSERT_TRUE(accelerate(*demo.rig.simulator(), state, acceleration, pace)) << demo.log();
        // Twenty steps of `pace` ms lie between the two speeds: well over a second, however the timer is
        // starved; a time restarted on every frame would show a fraction of one.
        const QString shown = session.controls().text(control::LabelSpeed);
        ASSERT_TRUE(shown.startsWith(QStringLiteral("Время разгона:"))) << shown.toStdString();
        EXPECT_GT(shown.section(':', 1).toDouble(), 1.0) << shown.toStdString();
        EXPECT_GT(acceleration.runs().columns(), emptyRun) << "a column per counted frame";
        state.vehicleSpeed = 0;
        demo.rig.simulator()->setEngineState(state);
    }
    auto *runs = demo.window->findChild<QComboBox *>(control::ComboBoxRazgon);
    ASSERT_NE(runs, nullptr);
    EXPECT_EQ(runs->count(), 2);
    EXPECT_EQ(acceleration.test().finishedRuns().size(), 2)
        << acceleration.test().finishedRuns().join('\n').toStdString();
    test::runEventsFor(200);
    test::saveShot(*demo.window, QStringLiteral("acceleration-two-runs.png"));
    EXPECT_TRUE(demo.disconnect());
}
