// The actuator controls on the right-hand diagnostic panel: where they sit,
// when they show, and a drive of the simulated ECU through them.
#include "app/ChartsController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "live/FrameLayout.h"
#include "sim/DemoRig.h"
#include "ui/IndicatorPictures.h"
#include "ui/MainWindow.h"

#include "Shots.h"
#include "TestSupport.h"
#include "WaitFor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kConnectMs = 60000;

template <typename T> T *child(QWidget &window, const QString &name) {
    T *widget = window.findChild<T *>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

QList<QWidget *> actuatorControls(QWidget &window) {
    using namespace control;
    QList<QWidget *> controls{child<QWidget>(window, ComboBoxActuators), child<QWidget>(window, TrackBar6),
                              child<QWidget>(window, LabelActuatorValue)};
    for (int row = 1; row <= 8; ++row)
        controls << child<QWidget>(window, LabelActuatorRow + QString::number(row))
                 << child<QWidget>(window, ImageActuatorRow + QString::number(row));
    return controls;
}

bool shows(QToolButton *indicator, const QPixmap &picture) {
    return indicator->icon().pixmap(picture.size()).toImage() == picture.toImage();
}

} // namespace

// Built once diagnostics run in the fast protocol: only the check box shows
// until it is ticked, and ticking halves the channel list above it.
TEST(ActuatorPanel, TickingShowsTheControlsUnderAHalvedList) {
    using namespace control;
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    session.raisePage(Paneldia);
    EXPECT_EQ(window.findChild<QCheckBox *>(CheckBoxActuators), nullptr) << "no controls before diagnostics";
    session.actuators().diagnosticsShown(true);
    test::runEventsFor(50);

    auto *panel = child<QWidget>(window, Paneldia2);
    auto *list = child<QScrollArea>(window, ScrollBox2);
    auto *box = child<QCheckBox>(window, CheckBoxActuators);
    ASSERT_TRUE(panel && list && box);
    EXPECT_EQ(box->text(), QStringLiteral("Исполнительныe механизмы"));
    EXPECT_TRUE(box->font().bold());
    auto *combo = child<QComboBox>(window, ComboBoxActuators);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 8);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(4), QStringLiteral("Состав смеси"));
    auto *track = child<QSlider>(window, TrackBar6);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->maximum(), 255);
    for (QWidget *control : actuatorControls(window)) {
        EXPECT_FALSE(control->isVisible()) << control->objectName().toStdString();
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_EQ(box->y(), list->y() + panel->height() - list->y() - 28 + 4);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_TRUE(session.actuators().checked());
    for (QWidget *control : actuatorControls(window))
        EXPECT_TRUE(control->isVisible() && control->isEnabled()) << control->objectName().toStdString();
    EXPECT_EQ(list->height(), std::lround((panel->height() - 18) / 2.0) - 50);
    EXPECT_EQ(box->y(), list->geometry().bottom() + 1 + 20);
    auto *value = child<QLabel>(window, LabelActuatorValue);
    EXPECT_EQ(value->font().pointSize(), 30);
    auto *name = child<QLabel>(window, LabelActuatorRow + "3");
    auto *indicator = child<QToolButton>(window, ImageActuatorRow + "3");
    EXPECT_EQ(indicator->geometry().right() + 1, panel->width() - 20);
    EXPECT_EQ(indicator->y(), name->y());
    EXPECT_EQ(name->y(), value->y() + value->height() + 15 * 3 - 5);

    // A second different position of a row shows its overridden picture.
    const int side = indicator->iconSize().height();
    auto *first = child<QToolButton>(window, ImageActuatorRow + "1");
    EXPECT_TRUE(shows(first, ui::actuatorNormalPicture(side)));
    track->setValue(40);
    EXPECT_TRUE(shows(first, ui::actuatorNormalPicture(side)));
    track->setValue(41);
    EXPECT_TRUE(shows(first, ui::actuatorOverriddenPicture(side)));
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_TRUE(shows(first, ui::actuatorNormalPicture(side)));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_FALSE(session.actuators().checked());
    EXPECT_FALSE(track->isVisible());
    EXPECT_EQ(list->height(), panel->height() - list->y() - 28);
    EXPECT_EQ(box->y(), list->geometry().bottom() + 1 + 4);
}

// A window resize while the chart panels are built: the list keeps the upper
// half without actuator controls; with them, they stack under it with the
// check box 4 pixels below, and an unticked box gives the list the panel back.
TEST(ActuatorPanel, ResizeStacksTheListAndControlsByTheChartRules) {
    using namespace control;
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.resize(1280, 791);
    window.show();
    ASSERT_TRUE(session.startUp());
    session.raisePage(Paneldia);
    auto *panel = child<QWidget>(window, Paneldia2);
    auto *list = child<QScrollArea>(window, ScrollBox2);
    ASSERT_TRUE(panel && list);
    const auto fullList = [&] { return QRect(0, 18, panel->width(), panel->height() - 18 - 28); };
    const auto halfList = [&] {
        // Half of an odd height rounds to even, as the layout rule does.
        return QRect(0, 18, panel->width(), static_cast<int>(std::nearbyint((panel->height() - 18) / 2.0)) - 50);
    };

    session.charts().startDiagnostics(channelNames(Protocol::Standard));
    test::runEventsFor(50);
    EXPECT_EQ(list->geometry(), fullList()) << "a new set of panels shows the whole list";
    window.resize(1400, 865);
    test::runEventsFor(50);
    EXPECT_EQ(list->geometry(), halfList()) << "no actuator controls: the upper half";
    auto *area = child<QWidget>(window, QStringLiteral("ScrollBox3"));
    auto *charts = child<QWidget>(window, QStringLiteral("ScrollBox1"));
    EXPECT_EQ(area->geometry(), QRect(4, 18, charts->width() - 8, charts->height() - 18));

    session.actuators().diagnosticsShown(true);
    test::runEventsFor(50);
    auto *box = child<QCheckBox>(window, CheckBoxActuators);
    auto *combo = child<QComboBox>(window, ComboBoxActuators);
    ASSERT_TRUE(box && combo);
    EXPECT_TRUE(box->isVisible()) << "built while the page is on screen";
    window.resize(1300, 803);
    test::runEventsFor(50);
    EXPECT_EQ(list->geometry(), fullList()) << "unticked";
    EXPECT_EQ(box->y(), list->geometry().bottom() + 1 + 4);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(box->y(), list->geometry().bottom() + 1 + 20) << "just ticked";
    for (const QSize size : {QSize(1400, 865), QSize(1280, 791)}) {
        window.resize(size);
        test::runEventsFor(50);
        EXPECT_EQ(list->geometry(), halfList()) << size.width();
        EXPECT_EQ(box->y(), list->geometry().bottom() + 1 + 4) << size.width();
        EXPECT_EQ(combo->y(), box->geometry().bottom() + 1 + 20) << size.width();
        auto *last = child<QLabel>(window, LabelActuatorRow + "8");
        EXPECT_LE(last->geometry().bottom(), panel->height()) << "the last row stays on the panel";
    }
    test::saveShot(window, QStringLiteral("actuators-resized.png"));
    session.shutDown();
}

// The user imposes an ignition advance on the simulated ECU and sees it come back.
TEST(ActuatorPanel, ImposesAValueOnTheSimulatedEcu) {
    using namespace control;
    test::WorkDir work;
    sim::DemoRig rig(work.path());
    QString error;
    ASSERT_TRUE(rig.start(&error)) << error.toStdString();
    sim::EngineState state;
    state.rpm = 850;
    state.coolantTemp = 90;
    state.ignition = 9;
    state.afrTarget = 14.7;
    rig.simulator()->setEngineState(state);

    Session session(work.path());
    session.setSettingOverrides(rig.settingOverrides());
    ui::MainWindow window(session);
    window.resize(1280, 791);
    window.show();
    ASSERT_TRUE(session.startUp());
    session.timers().Timer3.setInterval(50);
    session.connectEcu();
    ASSERT_TRUE(waitFor([&] { return session.actuators().built(); }, kConnectMs))
        << session.log().lines().join('\n').toStdString();
    session.raisePage(Paneldia);
    test::runEventsFor(100);

    auto *box = child<QCheckBox>(window, CheckBoxActuators);
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    auto *value = child<QLabel>(window, LabelActuatorValue);
    auto *track = child<QSlider>(window, TrackBar6);
    ASSERT_TRUE(waitFor([&] { return value->text() == "9" && track->value() == 18; }))
        << value->text().toStdString() << " " << session.log().lines().join('\n').toStdString();

    // The keyboard moves the track bar one step: 19 half degrees.
    track->setFocus();
    QTest::keyClick(track, Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return value->text() == "9.5"; })) << session.log().lines().join('\n').toStdString();
    EXPECT_TRUE(rig.simulator()->requestLog().contains(QByteArray::fromHex("304A0713")));
    // A second position for the same row shows it is held by the tester.
    QTest::keyClick(track, Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return value->text() == "10"; }));
    auto *indicator = child<QToolButton>(window, ImageActuatorRow + "1");
    EXPECT_TRUE(shows(indicator, ui::actuatorOverriddenPicture(indicator->iconSize().height())));
    test::runEventsFor(200);
    test::saveShot(window, QStringLiteral("actuators.png"));

    session.disconnectEcu();
    ASSERT_TRUE(waitFor([&] { return !session.isConnecting(); }));
    EXPECT_NE(window.findChild<QCheckBox *>(CheckBoxActuators), nullptr) << "the controls stay for the run";
    session.shutDown();
}
