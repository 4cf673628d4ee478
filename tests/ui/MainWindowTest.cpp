#include "ui/MainWindow.h"
#include "app/AccelerationController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "ui/ToolbarButtons.h"

#include "ControlNamesCheck.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
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

    auto *tuning = window.findChild<QTableView *>("StringGrid2");
    ASSERT_NE(tuning, nullptr);
    ASSERT_EQ(tuning->model(), &session.tuningGridModel());
    EXPECT_EQ(tuning->model()->index(15, 15).data().toString(), "0");
    for (const char *name : {"StringGridlogs", "StringGridRazgon"}) {
        auto *grid = window.findChild<QTableView *>(name);
        ASSERT_NE(grid, nullptr) << name;
        const QAbstractItemModel *model = QByteArray(name) == "StringGridRazgon"
                                              ? static_cast<const QAbstractItemModel *>(&session.acceleration().runs())
                                              : &session.statisticsModel();
        ASSERT_EQ(grid->model(), model);
        EXPECT_EQ(grid->model()->columnCount(), 5);
        EXPECT_EQ(grid->columnWidth(0), 200);
        EXPECT_EQ(grid->horizontalHeader()->defaultSectionSize(), 40);
        EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 16);
        EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), "Ср.");
    }
    auto *hex = window.findChild<QTableView *>("StringGridhex");
    ASSERT_NE(hex, nullptr);
    EXPECT_EQ(hex->model()->rowCount(), 4097);
    EXPECT_EQ(hex->model()->columnCount(), 18);
    EXPECT_EQ(hex->columnWidth(17), 130);
    EXPECT_EQ(window.size(), QSize(1200, 742)) << "the first size has the golden-ratio shape";
}

TEST(MainWindow, EveryControlNameTheCoreSetsHasOneWidget) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    ASSERT_TRUE(session.startUp());
    ASSERT_FALSE(session.controls().names().isEmpty());
    test::expectEachNameCarriedOnce(window, session.controls());
}

TEST(MainWindow, StatisticsGridsKeepTheirShapeForANewProtocol) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    auto *logs = window.findChild<QTableView *>("StringGridlogs");
    auto *razgon = window.findChild<QTableView *>("StringGridRazgon");
    ASSERT_NE(logs, nullptr);
    ASSERT_NE(razgon, nullptr);
    session.statisticsModel().setChannels({"Обороты", "Дроссель"});
    session.acceleration().startConnection({"Обороты", "Дроссель"});
    EXPECT_EQ(logs->model()->rowCount(), 2);
    EXPECT_EQ(razgon->model()->index(1, 0).data().toString(), "Дроссель");
    EXPECT_EQ(logs->columnWidth(0), 200) << "a new protocol keeps the grid's shape";
    EXPECT_EQ(razgon->columnWidth(1), 40);
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
        {TButMemo, Eculog},           {TButSettings, PanelSett}, {TButshowSmallDia, PanelMain},
        {TButshowBiglDia, Paneldia},  {TButshowgrid, PanelGrid}, {TButshowcalibr, Calibrpanel},
        {TButCalibrovka, PanelChart}, {TButRazgon, Panelrazgon}, {Hexeditor, Toys}};
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

// The hex view: nothing to show before a firmware is loaded; then a snapshot
// whose search selects the match and walks on with "Дальше" until none is left.
TEST(MainWindow, HexViewShowsTheFirmwareAndFindsBytes) {
    test::WorkDir work;
    Session session(work.path());
    ui::MainWindow window(session);
    window.show();
    ASSERT_TRUE(session.startUp());
    session.controls().setEnabled(control::Hexeditor, true);
    auto *grid = window.findChild<QTableView *>(control::StringGridhex);
    auto *pattern = window.findChild<QLineEdit *>(control::Edithexfind);
    auto *find = window.findChild<QPushButton *>(control::Findhexbut);
    auto *next = window.findChild<QPushButton *>(control::Buttonhexfindnext);
    ASSERT_TRUE(grid && pattern && find && next);
    EXPECT_EQ(find->text(), "Поиск");
    EXPECT_EQ(next->text(), "Дальше");

    window.findChild<QAction *>(control::Hexeditor)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window.frontPage()->objectName(), control::Toys);
    EXPECT_FALSE(grid->isVisible()) << "no firmware loaded: only the panels come to the front";
    EXPECT_FALSE(next->isEnabled());

    QByteArray bytes(kFirmwareSize, '\0');
    for (int a = 0; a < kFirmwareSize; ++a)
        bytes[a] = static_cast<char>(a % 251 < 200 ? a % 251 : 0);
    bytes.replace(0x1234, 2, QByteArray("\x6D\xC8", 2));
    bytes.replace(0x2345, 2, QByteArray("\x6D\xC8", 2));
    session.firmware().loadImage(*FirmwareImage::fromBytes(bytes));
    window.findChild<QAction *>(control::Hexeditor)->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(grid->isVisible());

    pattern->setText("6dc8");
    find->click();
    EXPECT_FALSE(next->isEnabled()) << "lower case never matches";
    pattern->setText("6DC8");
    find->click();
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0x124, 5));
    EXPECT_TRUE(grid->selectionModel()->isSelected(grid->model()->index(0x124, 5)));
    EXPECT_TRUE(next->isEnabled());
    QApplication::processEvents();
    saveShot(window, "hex");
    next->click();
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0x235, 6));
    EXPECT_TRUE(next->isEnabled());
    next->click();
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0x235, 6)) << "nothing further: the selection stays";
    EXPECT_FALSE(next->isEnabled());
}
