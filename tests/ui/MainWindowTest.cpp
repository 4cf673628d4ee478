#include "app/Session.h"
#include "core/ControlNames.h"
#include "ui/MainWindow.h"
#include "ui/ToolbarButtons.h"

#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

void saveShot(QWidget &window, const QString &name) {
    window.grab().save(QDir(test::artifactDir()).filePath(QStringLiteral("window-%1.png").arg(name)));
}

} // namespace

TEST(MainWindow, StartsWithTheToolbarLogAndGrids) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());

    auto *memo = window.findChild<QPlainTextEdit *>("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(test::withoutNoPortsLine(memo->toPlainText().split('\n')), QStringList{"Korvel Online started..."});
    for (const ui::ToolbarButton &def : ui::toolbarButtons()) {
        auto *action = window.findChild<QAction *>(def.name);
        ASSERT_NE(action, nullptr) << def.name.toStdString();
        EXPECT_EQ(action->toolTip(), def.hint);
        EXPECT_EQ(action->isEnabled(), session.controls().isEnabled(def.name)) << def.name.toStdString();
    }
    EXPECT_FALSE(window.findChild<QAction *>(control::TButTune)->isEnabled());

    auto *tuning = window.findChild<QTableWidget *>("StringGrid2");
    ASSERT_NE(tuning, nullptr);
    EXPECT_EQ(tuning->item(15, 15)->text(), "0");
    for (const char *name : {"StringGridlogs", "StringGridRazgon"}) {
        auto *grid = window.findChild<QTableWidget *>(name);
        ASSERT_NE(grid, nullptr) << name;
        EXPECT_EQ(grid->columnCount(), 5);
        EXPECT_EQ(grid->columnWidth(0), 200);
        EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Ср.");
    }
    auto *hex = window.findChild<QTableWidget *>("StringGridhex");
    ASSERT_NE(hex, nullptr);
    EXPECT_EQ(hex->rowCount(), 4097);
    EXPECT_EQ(hex->columnCount(), 18);
    EXPECT_EQ(hex->columnWidth(17), 130);
    EXPECT_EQ(window.height(), qRound(window.width() / 1.618));
}

TEST(MainWindow, EveryToolbarPageComesToTheFront) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    // Pages whose buttons wait for a connection are reached directly here.
    for (const ui::ToolbarButton &def : ui::toolbarButtons())
        session.controls().setEnabled(def.name, true);
    using namespace control;
    const std::pair<QString, QString> pages[] = {
        {TButMemo, Eculog}, {TButSettings, PanelSett}, {TButshowSmallDia, PanelMain}, {TButshowBiglDia, Paneldia},
        {TButshowgrid, PanelGrid}, {TButshowcalibr, Calibrpanel}, {TButCalibrovka, PanelChart},
        {TButRazgon, Panelrazgon}, {Hexeditor, Toys}};
    for (const auto &[button, page] : pages) {
        window.findChild<QAction *>(button)->trigger();
        QApplication::processEvents();
        ASSERT_NE(window.frontPage(), nullptr);
        EXPECT_EQ(window.frontPage()->objectName(), page) << button.toStdString();
        saveShot(window, page);
    }
}

TEST(MainWindow, MissingFilesHideTheToolbar) {
    test::WorkDir work(false);
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    EXPECT_FALSE(session.startUp());
    QApplication::processEvents();
    EXPECT_FALSE(window.findChild<QToolBar *>(control::ControlBar1)->isVisible());
    EXPECT_EQ(window.findChild<QPlainTextEdit *>("Memo1")->toPlainText().split('\n').size(), 5);
}

TEST(MainWindow, ExitButtonClosesTheWindow) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    window.findChild<QAction *>(control::TButExit)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
}
