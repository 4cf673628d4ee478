// The tuning grid page while tuning against the simulated car: evaluated
// cells turn green, the corner cell counts evaluations, the scale labels
// follow "Показывать min/max", and every grid choice is drawn.
#include "app/Session.h"
#include "app/TuningController.h"
#include "core/ControlNames.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningTables.h"
#include "ui/MainWindow.h"

#include "SessionRig.h"
#include "Shots.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kTuningMs = 120000;

// Operating points the drive holds until tuning evaluates each: speeds the
// ECU's table steps through exactly, throttles across the rows.
constexpr std::pair<double, double> kDrive[] = {{2480, 18}, {2000, 18}, {2000, 30}, {3000, 30}, {1520, 10}};

template <typename T> T *child(QWidget &window, const QString &name) {
    T *widget = window.findChild<T *>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

QString fileName(int index, QString choice) {
    choice.replace(QLatin1Char(' '), QLatin1Char('-')).replace(QLatin1Char('%'), QStringLiteral("pct"));
    return QStringLiteral("tuning-grid-%1-%2.png").arg(index, 2, 10, QLatin1Char('0')).arg(choice);
}

} // namespace

TEST(TuningGridPage, TuningAgainstTheSimulatorMarksCellsAndDrawsEveryChoice) {
    using namespace control;
    test::SessionRig rig;
    ASSERT_TRUE(rig.started);
    rig.prepareLeanTuning(0.06);
    rig.set(setting::ShowMinMax, setting::Yes);
    Session &s = *rig.session;
    ui::MainWindow window(s);
    window.resize(1280, 860);
    window.show();
    ASSERT_TRUE(rig.connectForTuning()) << s.log().lines().join('\n').toStdString();
    ASSERT_TRUE(s.tuning().startTuning());
    EXPECT_EQ(s.frontPage(), PanelMain) << "the small diagnostic (of the default theme) comes to the front";
    s.raisePage(PanelGrid);

    auto *grid = child<QTableView>(window, StringGrid2);
    auto *corner = child<QLabel>(window, LabelGridCorner);
    for (const auto &[rpm, throttle] : kDrive) {
        sim::EngineState state = test::steadyCruise();
        state.rpm = rpm;
        state.throttle = throttle;
        state.cyclicAir = 40 + throttle * 5;
        rig.simulator->setEngineState(state);
        const int before = s.tuning().accumulator().counters().evaluations;
        ASSERT_TRUE(waitFor([&] { return s.tuning().accumulator().counters().evaluations > before; }, kTuningMs))
            << rpm << " rpm, " << throttle << " %";
        EXPECT_TRUE(waitFor([&] { return corner->text().startsWith(QStringLiteral("ОК")); }))
            << corner->text().toStdString();
    }

    // An evaluated cell is green on the working-point choice; the highlight is red.
    int green = 0;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            const QVariant colour = grid->model()->index(r, c).data(TuningGridModel::ColourRole);
            green += colour.isValid() && colour.toInt() == 0xD6FFAD ? 1 : 0;
        }
    EXPECT_GE(green, 3);

    auto *choices = child<QComboBox>(window, Maingridchange_CBOX);
    ASSERT_GT(choices->count(), 10);
    child<QToolButton>(window, ButtonPanelTest)->click();
    EXPECT_TRUE(child<QWidget>(window, PanelTest)->isVisible());
    const QDir shots(test::artifactDir());
    for (int i = 0; i < choices->count(); ++i) {
        QTest::keyClick(choices, i == 0 ? Qt::Key_Home : Qt::Key_Down); // as a user steps through the list
        ASSERT_EQ(s.tables().gridChoice(), i);
        QTest::qWait(300); // the highlight timer marks the grid again
        const QString choice = choices->itemText(i);
        if (choice == QStringLiteral("Поправка %")) {
            // Corrections differ now, so the scale shows.
            EXPECT_TRUE(child<QWidget>(window, LabelGridMax)->isVisible());
            EXPECT_TRUE(child<QLabel>(window, LabelGridMax)->text().contains(QStringLiteral("Максимум")));
        }
        EXPECT_TRUE(window.grab().save(shots.filePath(fileName(i, choice)))) << choice.toStdString();
    }
    s.tuning().stopTuning();
}

// A tuner locks the cell the engine runs in and the next one: both are
// framed in the grid, the engine's ticks there are refused with their reason
// beside the grid, and the cell's correction stays as it was.
TEST(TuningGridPage, LockedCellsAndTheRefusalCountsBesideTheGrid) {
    test::SessionRig rig;
    ASSERT_TRUE(rig.started);
    rig.prepareLeanTuning(0.06);
    Session &s = *rig.session;
    ui::MainWindow window(s);
    window.resize(1366, 720);
    window.show();
    ASSERT_TRUE(rig.connectForTuning()) << s.log().lines().join('\n').toStdString();
    ASSERT_TRUE(s.tuning().startTuning());
    ASSERT_TRUE(s.tuning().extendedOn()) << "config.ini ships it on";
    s.raisePage(control::PanelGrid);

    ASSERT_TRUE(waitFor([&] { return s.tuning().currentCell() >= 0; }));
    const int cell = s.tuning().currentCell();
    const int row = cell / 16, col = cell % 16;
    auto *grid = child<QTableView>(window, control::StringGrid2);
    grid->selectionModel()->select(grid->model()->index(row, col), QItemSelectionModel::Select);
    grid->selectionModel()->select(grid->model()->index(row, std::min(col + 1, 15)), QItemSelectionModel::Select);
    child<QPushButton>(window, QStringLiteral("ButtonLockCells"))->click();
    EXPECT_TRUE(s.tables().locks().locked(cell));
    EXPECT_TRUE(grid->model()->index(row, col).data(TuningGridModel::LockedRole).toBool());
    const float before = s.tables().grid().cells[static_cast<std::size_t>(cell)].corrCurrent;

    const auto lockedTicks = [&] {
        return s.tuning().refusals().ofCell(cell)[static_cast<std::size_t>(SampleRefusal::Locked)];
    };
    ASSERT_TRUE(waitFor([&] { return lockedTicks() > 10; }, 120000)) << lockedTicks();
    EXPECT_FLOAT_EQ(s.tables().grid().cells[static_cast<std::size_t>(cell)].corrCurrent, before);
    QTest::qWait(300); // the highlight timer refreshes the counts
    auto *panel = child<QGroupBox>(window, QStringLiteral("PanelRefusals"));
    QString shown;
    for (const QLabel *label : panel->findChildren<QLabel *>())
        shown += label->text() + QLatin1Char('\n');
    EXPECT_TRUE(shown.contains(QStringLiteral("ячейка заблокирована"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Отказы всего"))) << shown.toStdString();
    test::saveShot(window, QStringLiteral("tuning-grid-locks-refusals.png"));

    child<QPushButton>(window, QStringLiteral("ButtonMeasureDelay"))->click();
    EXPECT_FALSE(s.log().lines().filter(QStringLiteral("задержка ШДК")).isEmpty());
    s.tuning().stopTuning();
}
