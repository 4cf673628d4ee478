// The calibration editor in the main window, as a tuner uses it: the
// comparison firmware drawn with `vs`, and "Откат" (Ctrl+Z) redrawing the
// open table. Screenshots at the two laptop sizes the layouts are drawn for.
#include "app/CatalogController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "editor/TableEditorController.h"
#include "firmware/DemoFirmware.h"
#include "firmware/DemoMap.h"
#include "firmware/FirmwareStore.h"
#include "ui/MainWindow.h"
#include "ui/TableChartView.h"

#include "Shots.h"
#include "TestSupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct EditorWindow {
    test::WorkDir work;
    Session session{work.path()};
    ui::MainWindow window{session};

    explicit EditorWindow(QSize size) {
        work.write(kDemoMapFile, makeDemoMap().value());
        work.write("demo.bin", makeDemoFirmware());
        QByteArray second = makeDemoFirmware();
        for (int i = 3; i < 11; ++i) { // the injector lag curve, 0.3 ms longer in the middle
            const int at = 0x9000 + 2 * i;
            const int lag =
                (static_cast<unsigned char>(second[at]) | static_cast<unsigned char>(second[at + 1]) << 8) + 300;
            second[at] = static_cast<char>(lag & 0xFF);
            second[at + 1] = static_cast<char>(lag >> 8);
        }
        for (int i = 4; i < 11; ++i) // the first row of the filling correction, about 0.2 more
            second[0x7CF7 + i] = static_cast<char>(static_cast<unsigned char>(second[0x7CF7 + i]) + 25);
        work.write("second.bin", second);
        window.resize(size);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window)) << "Ctrl+Z reaches the active window only";
        EXPECT_TRUE(session.startUp());
        EXPECT_TRUE(session.openFirmware(work.path("demo.bin")));
        EXPECT_TRUE(session.catalog().changeMap(work.path(kDemoMapFile)));
        session.showPagesFor(control::TButshowcalibr);
        // Sized again once the pages are filled.
        window.resize(size);
        QApplication::processEvents();
    }
    void choose(const QString &name) {
        const MapTreeModel &model = session.catalog().model();
        const QModelIndexList found =
            model.match(model.rootIndex(), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty()) << name.toStdString();
        session.catalog().selectNode(found.first());
        QApplication::processEvents();
    }
    void shot(const QString &name) {
        QApplication::processEvents();
        test::saveShot(window,
                       QStringLiteral("editor-window-%1-%2x%3.png").arg(name).arg(window.width()).arg(window.height()));
    }
};

} // namespace

TEST(EditorWindow, VsDrawsTheComparisonAndOtkatRedrawsTheTable) {
    for (const QSize size : {QSize(1280, 900), QSize(1366, 720)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        EditorWindow w(size);
        w.choose(QStringLiteral("Задержка форсунок"));
        ASSERT_EQ(w.session.editor().kind(), 1);
        ASSERT_TRUE(w.session.openComparison(w.work.path("second.bin")));
        auto *vs = w.window.findChild<QCheckBox *>(control::vs);
        ASSERT_NE(vs, nullptr);
        ASSERT_TRUE(vs->isVisible()) << "the comparison loader offers vs";
        auto *chart = w.window.findChild<ui::TableChartView *>();
        ASSERT_NE(chart, nullptr);
        EXPECT_FALSE(chart->line(0)->isVisible());

        vs->click();
        EXPECT_TRUE(w.session.editor().options().compare);
        ASSERT_TRUE(chart->line(0)->isVisible()) << "the comparison line is drawn";
        ASSERT_EQ(chart->line(0)->count(), 16);
        EXPECT_NEAR(chart->line(0)->at(5).y() - chart->line(1)->at(5).y(), 0.3, 1e-9);
        EXPECT_EQ(chart->line(0)->at(0).y(), chart->line(1)->at(0).y());
        w.shot(QStringLiteral("vs-curve"));

        // A map drawn flat: the comparison line of the row shown.
        w.choose(QStringLiteral("Поправка наполнения"));
        while (w.session.editor().front() != TableEditorController::Front::Chart)
            w.window.findChild<QPushButton *>(control::BitBtn7)->click();
        ASSERT_TRUE(chart->line(0)->isVisible());
        EXPECT_NEAR(chart->line(0)->at(6).y() - chart->line(1)->at(6).y(), 25.0 / 128, 0.011) << "two rounded texts";
        w.shot(QStringLiteral("vs"));
        w.choose(QStringLiteral("Задержка форсунок"));

        // An edit typed into the grid, then Ctrl+Z: the grid and the chart show the image again.
        auto *grid = w.window.findChild<QTableView *>(control::StringGrid4);
        ASSERT_NE(grid, nullptr);
        const QString before = grid->model()->index(0, 4).data().toString();
        ASSERT_TRUE(grid->model()->setData(grid->model()->index(0, 4), QStringLiteral("2,5")));
        EXPECT_EQ(grid->model()->index(0, 4).data().toString(), "2.5");
        EXPECT_EQ(chart->line(1)->at(4).y(), 2.5);
        auto *undo = w.window.findChild<QPushButton *>(control::BitBtn26);
        ASSERT_TRUE(undo->isVisible());
        // On the grid: a text field takes Ctrl+Z for its own text.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.session.firmware().undoCount(), 0) << "Ctrl+Z is Откат";
        EXPECT_EQ(grid->model()->index(0, 4).data().toString(), before);
        EXPECT_EQ(chart->line(1)->at(4).y(), before.toDouble());
        w.shot(QStringLiteral("undo"));
    }
}
