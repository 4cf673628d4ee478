// The window in the demo: the simulated ECU and wideband controller behind
// links in the working folder, connected with the toolbar as a user would.
#include "app/Session.h"
#include "core/ControlNames.h"
#include "sim/DemoRig.h"
#include "ui/MainWindow.h"
#include "ui/StatusPanels.h"

#include "ControlNamesCheck.h"
#include "Shots.h"
#include "TestSupport.h"
#include "WaitFor.h"
#include "WindowActions.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kConnectMs = 60000;

void saveShot(QWidget &window, const QString &name) {
    test::saveShot(window, QStringLiteral("demo-%1.png").arg(name));
}

using test::press;

} // namespace

TEST(DemoWindow, ConnectsShowsLiveValuesAndDisconnects) {
    test::WorkDir work;
    sim::DemoRig rig(work.path());
    QString error;
    ASSERT_TRUE(rig.start(&error)) << error.toStdString();
    sim::EngineState state;
    state.rpm = 3120;
    state.throttle = 24;
    state.coolantTemp = 91;
    state.batteryVoltage = 13.9;
    state.vehicleSpeed = 84;
    state.afrTarget = 13.2;
    state.ignition = 24.5;
    state.injPulse = 5.4;
    state.airMass = 61;
    state.cyclicAir = 210;
    state.idleValveCurrent = 32;
    rig.simulator()->setEngineState(state);

    Session session(work.path());
    session.setSettingOverrides(rig.settingOverrides());
    const QByteArray config = work.read("config.ini");
    ui::MainWindow window(session);
    window.resize(1280, 791);
    window.show();
    ASSERT_TRUE(session.startUp());
    EXPECT_EQ(session.settings().value("Ecu com"), work.path("ecu-sim"));
    EXPECT_EQ(work.read("config.ini"), config) << "the demo leaves the user's settings file alone";

    press(window, control::TButConnectEcu);
    ASSERT_TRUE(waitFor([&] { return session.live().engine().processedFrames() >= 5; }, kConnectMs))
        << session.log().lines().join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return session.live().engine().parameters().rpm == 3120; }));
    ASSERT_TRUE(waitFor([&] { return session.statusBar().lambda.text.startsWith("ШДК"); }));
    ASSERT_TRUE(waitFor([&] { return session.identity().ecuSwid() == "AFF68EED"; }));
    session.timers().Timer5.setInterval(200); // the post-connect set-up, without its 30 s wait
    ASSERT_TRUE(waitFor([&] { return session.controls().isEnabled(control::TButshowBiglDia); }));

    auto *logs = window.findChild<QTableView *>("StringGridlogs");
    ASSERT_NE(logs, nullptr);
    EXPECT_EQ(logs->model()->rowCount(), 56);
    EXPECT_EQ(logs->model()->index(1, 0).data().toString(), "Температура охлаждающей жидкости");
    test::expectEachNameCarriedOnce(window, session.controls());
    auto *firmwareLabel = window.findChild<QLabel *>(control::Label60);
    ASSERT_NE(firmwareLabel, nullptr);
    EXPECT_EQ(firmwareLabel->text(), "Прошивка:demo-firmware.bin") << "the file as the setting names it";

    saveShot(window, "grid");
    press(window, control::TButshowSmallDia);
    test::runEventsFor(300);
    saveShot(window, "panelmain");
    session.settings().setValue("Тема ОС", "стандартная");
    press(window, control::TButshowSmallDia);
    test::runEventsFor(300);
    saveShot(window, "panelmain2");
    // The demo's settings name its calibration map: the connect loaded it.
    EXPECT_EQ(session.controls().text(control::Label59), "Карта прошивкиdemo-map.j5");
    auto *catalogue = window.findChild<QTreeView *>(control::TreeView);
    ASSERT_NE(catalogue, nullptr);
    EXPECT_EQ(catalogue->model()->rowCount(catalogue->model()->index(0, 0)), 6);
    press(window, control::TButshowcalibr);
    test::runEventsFor(100);
    EXPECT_EQ(window.findChild<QWidget *>("mapDialog"), nullptr) << "a catalogue is there: no map choice";
    saveShot(window, "calibration");
    session.showPagesFor(control::TButCalibrovka); // its button waits for the parameter charts
    test::runEventsFor(100);
    saveShot(window, "statistics");
    press(window, control::TButMemo);
    test::runEventsFor(100);
    saveShot(window, "log");

    press(window, control::TButDisconnectEcu);
    ASSERT_TRUE(waitFor([&] { return session.statusBar().link.text == "OFFLINE"; }));
    ASSERT_TRUE(waitFor([&] { return !session.isConnecting(); }));
    EXPECT_FALSE(window.findChild<QAction *>(control::TButDisconnectEcu)->isEnabled());
    EXPECT_TRUE(window.findChild<QAction *>(control::TButConnectEcu)->isEnabled());
    saveShot(window, "disconnected");
    test::expectEachNameCarriedOnce(window, session.controls());
    session.shutDown();
}

TEST(DemoWindow, ScreenshotButtonWritesNumberedJpegs) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    auto *button = window.findChild<QWidget *>(control::BitBtn1);
    ASSERT_NE(button, nullptr);
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(button, "click");
    const QString pic = QDir(session.logDirectory().ensure()).filePath("pic");
    EXPECT_EQ(QDir(pic).entryList(QDir::Files, QDir::Name),
              QStringList({"screenshot_0.jpg", "screenshot_1.jpg", "screenshot_2.jpg"}));
    const QImage first(QDir(pic).filePath("screenshot_0.jpg"), "JPEG");
    ASSERT_FALSE(first.isNull());
    // The screen where the platform grabs it (X), the window where it refuses.
    const QSize expected = QGuiApplication::platformName() == QLatin1String("xcb")
                               ? QGuiApplication::primaryScreen()->size()
                               : window.grab().size();
    EXPECT_EQ(first.size(), expected);
}
