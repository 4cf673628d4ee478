// Tuning from a recorded drive on the grid page: the proposals of a log on
// the grid in their own colour, applied as one undo step, the log's
// quantities per cell, and the export for log viewers.
#include "ui/LogTuningBar.h"
#include "app/LogTuning.h"
#include "app/Session.h"
#include "core/Cp1251.h"
#include "core/Numbers.h"
#include "firmware/FirmwareStore.h"
#include "live/CsvLog.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningTables.h"
#include "ui/MainWindow.h"

#include "SessionRig.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct HeldPoint {
    int row, col;
    double lean;
};

// A fast-protocol log of a warm engine held 60 s at each point's breakpoints,
// the wideband reading leaner than the target by `lean`.
QByteArray heldDrive(const GridAxes &axes, std::initializer_list<HeldPoint> points) {
    QByteArray bytes = cp1251::encode(CsvLog::header(Protocol::Fast, QLatin1Char(','))) + "\r\n";
    QTime at(14, 0, 0);
    for (const HeldPoint &p : points) {
        LiveChannels c;
        c.set(2, 90);
        c.set(3, 14.7f);
        c.set(4, static_cast<float>(roundTo(14.7 * (1 + p.lean), 2)));
        c.set(6, 1.0f); // the ECU's own trim, at rest
        c.set(7, static_cast<float>(axes.throttle[static_cast<std::size_t>(p.row)]));
        c.set(8, static_cast<float>(axes.rpm[static_cast<std::size_t>(p.col)]));
        c.set(15, 20);
        c.set(35, 3.2f);
        c.set(37, 180.5f);
        for (int second = 0; second < 60; ++second, at = at.addSecs(1))
            for (int frame = 0; frame < 20; ++frame)
                bytes += cp1251::encode(CsvLog::line(c, kFastChannelCount, {}, at, QLatin1Char(','))) + "\r\n";
    }
    return bytes;
}

} // namespace

TEST(LogTuningBar, ShowsTheProposalsOfALogAndAppliesThemAsOneUndoStep) {
    test::SessionRig rig;
    ASSERT_TRUE(rig.started);
    Session &s = *rig.session;
    ASSERT_TRUE(s.openFirmware(rig.work.path(test::kFirmwareFile)));
    ui::MainWindow window(s);
    window.resize(1366, 720);
    window.show();
    s.raisePage(control::PanelGrid);

    const GridAxes axes = axesFromImage(s.firmware().image(), 1);
    const QString log = rig.work.path(QStringLiteral("лог.csv"));
    rig.work.write(QStringLiteral("лог.csv"), heldDrive(axes, {{4, 5, 0.08}, {6, 8, -0.06}, {9, 10, 0.05}}));
    auto *bar = window.findChild<ui::LogTuningBar *>();
    ASSERT_NE(bar, nullptr);
    auto *apply = window.findChild<QPushButton *>(ui::LogTuningBar::kApplyButton);
    EXPECT_FALSE(apply->isEnabled()) << "nothing to apply before a log";
    const QByteArray before = s.firmware().image().bytes();
    ASSERT_TRUE(bar->openLog(log)) << s.log().lines().join('\n').toStdString();
    EXPECT_EQ(s.firmware().image().bytes(), before) << "the proposals stay out of the image until applied";

    auto *grid = window.findChild<QTableView *>(control::StringGrid2);
    const int own =
        LogTuning::kProposalColour.r << 16 | LogTuning::kProposalColour.g << 8 | LogTuning::kProposalColour.b;
    const std::pair<HeldPoint, double> expected[] = {
        {{4, 5, 0.08}, 1.08}, {{6, 8, -0.06}, 0.94}, {{9, 10, 0.05}, 1.05}};
    ASSERT_TRUE(bar->logTuning().proposals().has_value());
    const ReplayedTable &correction = bar->logTuning().proposals()->tables.front();
    ASSERT_EQ(correction.table, ReplayTable::Correction);
    ASSERT_EQ(correction.cells.size(), 3u);
    for (const auto &[p, factor] : expected) {
        const QModelIndex cell = grid->model()->index(p.row, p.col);
        EXPECT_EQ(cell.data(TuningGridModel::ColourRole).toInt(), own) << p.row << "," << p.col;
        const auto proposed = std::find_if(correction.cells.begin(), correction.cells.end(),
                                           [&](const ReplayedCell &c) { return c.index == p.row * 16 + p.col; });
        ASSERT_NE(proposed, correction.cells.end()) << p.row << "," << p.col;
        EXPECT_NEAR(double(proposed->after) / proposed->before, factor, 0.02) << p.row << "," << p.col;
        EXPECT_DOUBLE_EQ(cell.data(TuningGridModel::ValueRole).toDouble(), proposed->after / 128.0);
    }
    EXPECT_FALSE(grid->model()->index(0, 0).data(TuningGridModel::ColourRole).isValid());
    EXPECT_TRUE(apply->isEnabled());
    QTest::qWait(100);
    EXPECT_TRUE(window.grab().save(QDir(test::artifactDir()).filePath(QStringLiteral("log-tuning-proposals.png"))));

    // The log's error per cell, coloured as the live values are.
    auto *view = window.findChild<QComboBox *>(ui::LogTuningBar::kViewChoice);
    ASSERT_TRUE(view->isEnabled());
    view->setCurrentIndex(2);
    emit view->activated(2);
    EXPECT_TRUE(grid->model()->index(4, 5).data().toString().startsWith(QStringLiteral("8.03 (1200)")))
        << grid->model()->index(4, 5).data().toString().toStdString();
    EXPECT_NE(grid->model()->index(4, 5).data(TuningGridModel::ColourRole).toInt(),
              grid->model()->index(6, 8).data(TuningGridModel::ColourRole).toInt());
    EXPECT_TRUE(window.grab().save(QDir(test::artifactDir()).filePath(QStringLiteral("log-tuning-afr-error.png"))));

    const int undo = s.firmware().undoCount();
    apply->click();
    EXPECT_EQ(s.firmware().undoCount(), undo + 1) << "one undo step";
    const QByteArray after = s.firmware().image().bytes();
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        changed += after[i] != before[i] ? 1 : 0;
    EXPECT_GE(changed, 3);
    EXPECT_FALSE(s.tuningGridModel().overlay().has_value()) << "the grid shows the image's cells again";
    EXPECT_FALSE(apply->isEnabled());
    ASSERT_TRUE(s.firmware().UndoStep());
    EXPECT_EQ(s.firmware().image().bytes(), before) << "one step takes all of them back";

    const QString msl = rig.work.path(QStringLiteral("лог.msl"));
    EXPECT_TRUE(bar->exportLog(log, msl));
    EXPECT_TRUE(rig.work.read(QStringLiteral("лог.msl")).startsWith("Time\t"));
}
