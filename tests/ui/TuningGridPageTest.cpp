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

#include <QComboBox>
#include <QDir>
#include <QLabel>
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
