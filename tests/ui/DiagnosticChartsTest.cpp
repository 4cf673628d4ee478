// The full diagnostic view's chart area and the acceleration panel as they
// paint what the core holds.
#include "ui/DiagnosticCharts.h"
#include "app/AccelerationController.h"
#include "app/ChartsController.h"
#include "app/Session.h"
#include "core/ProgramLog.h"
#include "live/AccelerationTest.h"
#include "live/FrameLayout.h"
#include "live/LiveParameters.h"
#include "ui/AccelerationPanel.h"

#include "Shots.h"
#include "TestSupport.h"

#include <QChartView>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;

namespace {

// The chart area beside its channel list, on a controller of its own.
struct ChartsView {
    ChartsView() : charts(channels, log, dir.path()), view(charts, &list) {
        list.resize(250, 600);
        view.resize(900, 700);
        list.show();
        view.show();
    }
    ui::TMyCheckBox *box(int q) const { return list.findChild<ui::TMyCheckBox *>(QStringLiteral("mdiag%1").arg(q)); }
    QFrame *panel(int q) const { return view.findChild<QFrame *>(QStringLiteral("mdiagpanel%1").arg(q)); }
    QChartView *chart(int q) const { return view.findChild<QChartView *>(QStringLiteral("mdiagcharts%1").arg(q)); }
    QToolButton *button(int q, int s) const { return panel(q)->findChildren<QToolButton *>().at(s - 1); }
    QLabel *valueLabel(int q) const { return panel(q)->findChildren<QLabel *>().at(1); }

    QTemporaryDir dir;
    LiveChannels channels;
    ProgramLog log;
    ChartsController charts;
    QScrollArea list;
    ui::DiagnosticCharts view;
};

QStringList names(int count) {
    return channelNames(Protocol::Fast).mid(0, count);
}

} // namespace

TEST(DiagnosticCharts, ChecksBoxesPlaceChartsAndButtonsReorderThem) {
    ChartsView v;
    v.charts.startDiagnostics(names(12));
    ASSERT_NE(v.box(12), nullptr);
    EXPECT_EQ(v.box(3)->geometry().top(), 30);
    EXPECT_EQ(v.box(3)->property("Tag").toInt(), -1);
    EXPECT_FALSE(v.panel(5)->isVisible());

    v.box(5)->click();
    v.box(2)->click();
    EXPECT_EQ(v.box(2)->property("Tag").toInt(), 2);
    EXPECT_EQ(v.panel(5)->geometry().top(), 0);
    EXPECT_EQ(v.panel(2)->geometry().top(), 140);
    ASSERT_NE(v.chart(2), nullptr);
    EXPECT_EQ(v.chart(2)->geometry().top(), 140);
    EXPECT_EQ(v.panel(2)->geometry().left(), v.chart(2)->geometry().width()) << "panel beside its chart";
    EXPECT_EQ(v.panel(2)->width(), 143);

    v.button(2, 1)->click(); // to the top
    EXPECT_EQ(v.panel(2)->geometry().top(), 0);
    EXPECT_EQ(v.panel(5)->geometry().top(), 140);

    v.button(2, 6)->click(); // hide
    EXPECT_FALSE(v.box(2)->isChecked());
    EXPECT_FALSE(v.panel(2)->isVisible());
    EXPECT_EQ(v.panel(5)->geometry().top(), 0) << "the chart below moves up";

    v.view.findChild<QSlider *>("TrackBargraf")->setValue(10);
    EXPECT_EQ(v.panel(5)->height(), 100);
    EXPECT_EQ(v.chart(5)->height(), 100);
    EXPECT_EQ(v.button(5, 1)->geometry().top(), 100 - 22 - 4);

    v.charts.release();
    EXPECT_EQ(v.panel(5), nullptr);
    EXPECT_EQ(v.box(5), nullptr);
    v.charts.startDiagnostics(names(12));
    EXPECT_EQ(v.panel(5)->height(), 140) << "a new connection's charts start at 140";
    EXPECT_TRUE(v.box(5)->isChecked()) << "the layout file brought channel 5 back";
}

TEST(DiagnosticCharts, FramesReachTheShownChartsAtTheScreensPace) {
    ChartsView v;
    v.charts.startDiagnostics(names(4));
    v.box(2)->click();
    auto *series = qobject_cast<QLineSeries *>(v.chart(2)->chart()->series().first());
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->count(), 11) << "placeholders until the first frame";

    v.channels.set(2, 1.23456f);
    for (int i = 0; i < 5; ++i)
        v.charts.updateFrame(); // several frames, one repaint
    QTRY_COMPARE(v.valueLabel(2)->text(), QStringLiteral("1.235"));
    EXPECT_EQ(series->count(), 62);
    EXPECT_FLOAT_EQ(series->at(61).y(), 1.23456f);
    EXPECT_EQ(series->pen().width(), 3);

    // A chart below the scroll box's view is brought up to date once scrolled to.
    for (int q : {1, 3, 4}) // channel 4 in slot 4
        v.box(q)->click();
    v.view.findChild<QSlider *>("TrackBargraf")->setValue(56); // 560 pixels each
    v.charts.updateFrame();
    QTest::qWait(100);
    auto *below = qobject_cast<QLineSeries *>(v.chart(4)->chart()->series().first());
    EXPECT_EQ(below->count(), 0) << "out of view: not painted yet";
    auto *area = v.view.findChild<QScrollArea *>("ScrollBox3");
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    QTRY_COMPARE(below->count(), 62);
}

TEST(DiagnosticCharts, LongValuesStayWholeInsideTheirPanels) {
    ChartsView v;
    v.charts.startDiagnostics(names(4));
    for (int q : {1, 2, 3})
        v.box(q)->click();
    v.channels.set(1, -12345.678f);
    v.channels.set(2, 987654.25f);
    v.channels.set(3, 7.5f);
    v.charts.updateFrame();
    QTRY_COMPARE(v.valueLabel(3)->text(), QStringLiteral("7.5"));
    for (int q : {1, 2, 3}) {
        const QLabel *value = v.valueLabel(q);
        EXPECT_TRUE(v.panel(q)->rect().contains(value->geometry())) << value->text().toStdString();
        EXPECT_GE(value->width(), value->fontMetrics().horizontalAdvance(value->text())) << value->text().toStdString();
    }
    EXPECT_LT(v.valueLabel(2)->font().pointSize(), 32);
    EXPECT_EQ(v.valueLabel(3)->font().pointSize(), 32) << "a short value keeps its size";
}

TEST(DiagnosticCharts, Screenshots) {
    ChartsView v;
    v.view.resize(1000, 1200);
    v.charts.startDiagnostics(names(56));
    for (int q : {6, 5, 3, 4, 9, 17, 27, 33})
        v.box(q)->click();
    v.view.findChild<QSlider *>("TrackBargraf2")->setValue(8);
    for (int frame = 0; frame < 200; ++frame) {
        for (int q = 1; q <= 56; ++q)
            v.channels.set(q, static_cast<float>(q * 10 + 8 * std::sin(frame / (3.0 + q % 7))));
        // Long numbers: they must stay whole inside their panels.
        v.channels.set(27, static_cast<float>(-12345.678 + frame));
        v.channels.set(33, static_cast<float>(987654.321 + 3 * std::sin(frame / 4.0)));
        v.charts.updateFrame();
    }
    QTest::qWait(100);
    QWidget shot;
    shot.resize(1250, 1200);
    v.view.setParent(&shot);
    v.list.setParent(&shot);
    v.view.setGeometry(0, 0, 1000, 1200);
    v.list.setGeometry(1000, 0, 250, 1200);
    shot.show();
    QTest::qWait(100);
    test::saveShot(shot, QStringLiteral("charts-diagnostics.png"));
    v.view.setParent(nullptr);
    v.list.setParent(nullptr);

    test::WorkDir work;
    Session session(work.path());
    session.acceleration().startConnection(channelNames(Protocol::Fast));
    ui::AccelerationPanel panel(session);
    panel.resize(1100, 700);
    panel.show();
    AccelerationRuns &runs = session.acceleration().runs();
    AccelerationTest test(runs);
    test.toggleArmed();
    LiveChannels channels;
    for (int frame = 1; frame <= 12; ++frame) {
        for (int q = 1; q <= 56; ++q)
            channels.set(q, static_cast<float>(q + std::sin(frame * q / 5.0) * q / 3.0));
        test.timerTick(frame * 50);
        test.step({frame < 12 ? 5.0 * frame : 120.0, "0", "100", frame, frame * 50, &channels});
    }
    ASSERT_FALSE(test.armed());
    EXPECT_GT(runs.columns(), 10);
    EXPECT_TRUE(runs.data(runs.index(0, 6), AccelerationRuns::ShadeRole).isValid());
    QTest::qWait(50);
    test::saveShot(panel, QStringLiteral("charts-acceleration.png"));
}
