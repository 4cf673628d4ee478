// The window on the most common laptop screen, 1366 x 768 with a taskbar:
// 1366 x 720 holds every page, and every control of a page can be reached,
// scrolled to where a page needs more room. Screenshots for people to look at.
#include "app/CatalogController.h"
#include "editor/TableEditorController.h"
#include "ui/StatusPanels.h"
#include "ui/TableChartView.h"
#include "ui/TableSurface.h"
#include "ui/TableViewPage.h"
#include "ui/ToolbarButtons.h"

#include "DemoWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr QSize kLaptopWindow(1366, 720);

// What a user works with; a table's headers go with their table.
bool isControl(const QWidget *w) {
    if (qobject_cast<const QHeaderView *>(w))
        return false;
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QAbstractSlider *>(w) ||
           qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QAbstractItemView *>(w);
}

// Scrolls every scroll area around `w` so that it comes into view, innermost first.
void scrollTo(QWidget *w) {
    QWidget *inner = w;
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (auto *scroll = qobject_cast<QScrollArea *>(p)) {
            scroll->ensureWidgetVisible(inner, 0, 0);
            inner = scroll;
        }
    QApplication::processEvents();
}

// The controls of the page in front that a user cannot get at: outside the
// page area even after scrolling, or squashed below a usable size.
QStringList unreachableControls(ui::MainWindow &window) {
    QStringList lost;
    QWidget *page = window.frontPage();
    const QRect pageArea = window.centralWidget()->geometry();
    for (QWidget *w : page->findChildren<QWidget *>()) {
        if (!isControl(w) || !w->isVisible())
            continue;
        scrollTo(w);
        const QRect at(w->mapTo(&window, QPoint(0, 0)), w->size());
        const QString name =
            QStringLiteral("%1 %2 \"%3\" at %4,%5 %6x%7")
                .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), w->property("text").toString())
                .arg(at.x())
                .arg(at.y())
                .arg(at.width())
                .arg(at.height());
        if (w->width() < 8 || w->height() < 8 || !pageArea.contains(at.center()) || w->visibleRegion().isEmpty())
            lost << name;
    }
    return lost;
}

// The window as shown, the 3-D surface included (a GL window that grabs miss).
QImage windowShot(ui::MainWindow &window) {
    QApplication::processEvents();
    QImage image = window.grab().toImage();
    for (ui::TableSurface *surface : window.findChildren<ui::TableSurface *>())
        if (surface->isVisible() && surface->width() > 0 && surface->height() > 0) {
            QPainter painter(&image);
            painter.drawImage(surface->mapTo(&window, QPoint(0, 0)), surface->render(surface->size()));
        }
    return image;
}

void shot(ui::MainWindow &window, const QString &name) {
    test::saveShot(windowShot(window), QStringLiteral("laptop-%1.png").arg(name));
}

void chooseTable(Session &session, const QString &name) {
    const MapTreeModel &model = session.catalog().model();
    const QModelIndexList found =
        model.match(model.rootIndex(), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(found.isEmpty()) << name.toStdString();
    session.catalog().selectNode(found.first());
    QApplication::processEvents();
}

} // namespace

TEST(LaptopScreen, EveryPageFitsA1366x720WindowWithItsControlsReachable) {
    test::DemoWindow demo;
    QString error;
    ASSERT_TRUE(demo.startCar(&error)) << error.toStdString();
    ASSERT_TRUE(demo.openWindow());
    ui::MainWindow &window = *demo.window;
    Session &session = *demo.session;
    const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
    EXPECT_LE(smallest.width(), kLaptopWindow.width());
    EXPECT_LE(smallest.height(), kLaptopWindow.height());
    window.resize(kLaptopWindow);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), kLaptopWindow) << "no rule of the window's own changes the size asked for";

    demo.openFirmwareWhenConnected();
    ASSERT_TRUE(demo.connectAndSetUp()) << demo.log();
    ASSERT_TRUE(waitFor([&] { return session.firmware().FirmwareLoaded(); }, test::DemoWindow::kConnectMs));
    // A comparison firmware with the ignition map 2 degrees lower in its middle.
    QByteArray second = demo.work.read(sim::DemoRig::kFirmwareFile);
    for (int i = 5 * 16 + 4; i < 9 * 16; ++i)
        second[0x6DC8 + i] = static_cast<char>(static_cast<unsigned char>(second[0x6DC8 + i]) - 4);
    demo.work.write("second.bin", second);
    ASSERT_TRUE(session.openComparison(demo.work.path("second.bin")));
    for (const ui::ToolbarButton &def : ui::toolbarButtons())
        session.controls().setEnabled(def.name, true);

    using namespace control;
    const QString pages[] = {TButMemo,       TButSettings,   TButshowSmallDia, TButshowBiglDia, TButshowgrid,
                             TButshowcalibr, TButCalibrovka, TButRazgon,       Hexeditor};
    for (const QString &button : pages) {
        window.findChild<QAction *>(button)->trigger();
        test::runEventsFor(200);
        if (button == TButshowcalibr) {
            chooseTable(session, QStringLiteral("УОЗ"));
            session.editor().gridReleased(false, 3, 3, 3, 3, 0, 0); // a block: the range commands show
            session.editor().gridReleased(true, 3, 3, 6, 6, 0, 0);
            window.findChild<QCheckBox *>(control::vs)->setChecked(true);
            QApplication::processEvents();
        }
        const QStringList lost = unreachableControls(window);
        EXPECT_TRUE(lost.isEmpty()) << button.toStdString() << ":\n" << lost.join('\n').toStdString();
        EXPECT_EQ(window.size(), kLaptopWindow) << button.toStdString();
    }

    EXPECT_TRUE(session.statusBar().lambda.text.startsWith("ШДК"));
    EXPECT_LE(window.findChild<ui::StatusPanels *>()->minimumWidth(), kLaptopWindow.width() - 120)
        << "room for the screenshot button";
}

// The pages a tuner works on at 1366 x 720, for people to look at; the
// full-screen chart covers the page area and gives it back on Esc.
TEST(LaptopScreen, Screenshots) {
    test::DemoWindow demo;
    QString error;
    ASSERT_TRUE(demo.startCar(&error)) << error.toStdString();
    ASSERT_TRUE(demo.openWindow());
    ui::MainWindow &window = *demo.window;
    Session &session = *demo.session;
    window.resize(kLaptopWindow);
    demo.openFirmwareWhenConnected();
    ASSERT_TRUE(demo.connectAndSetUp()) << demo.log();
    ASSERT_TRUE(waitFor([&] { return session.firmware().FirmwareLoaded(); }, test::DemoWindow::kConnectMs));
    QByteArray second = demo.work.read(sim::DemoRig::kFirmwareFile);
    for (int i = 5 * 16 + 4; i < 9 * 16; ++i)
        second[0x6DC8 + i] = static_cast<char>(static_cast<unsigned char>(second[0x6DC8 + i]) - 4);
    demo.work.write("second.bin", second);
    ASSERT_TRUE(session.openComparison(demo.work.path("second.bin")));

    using namespace control;
    window.findChild<QAction *>(TButshowgrid)->trigger();
    test::runEventsFor(500);
    shot(window, QStringLiteral("tuning-grid"));
    window.findChild<QAction *>(TButshowSmallDia)->trigger();
    test::runEventsFor(300);
    shot(window, QStringLiteral("diagnostics-main"));
    window.findChild<QAction *>(TButshowBiglDia)->trigger();
    test::runEventsFor(1500);
    shot(window, QStringLiteral("diagnostics-charts"));

    window.findChild<QAction *>(TButshowcalibr)->trigger();
    chooseTable(session, QStringLiteral("УОЗ"));
    window.findChild<QCheckBox *>(control::vs)->setChecked(true);
    test::runEventsFor(1000); // the working point and its trail
    EXPECT_FALSE(session.editor().workingPointMarks().empty()) << "the demo car runs on a cell of the ignition map";
    shot(window, QStringLiteral("editor-grid"));
    auto *page = window.findChild<ui::TableViewPage *>();
    ASSERT_NE(page, nullptr);
    auto *show = page->findChild<QComboBox *>(QStringLiteral("ComboCellShow"));
    ASSERT_NE(show, nullptr);
    ASSERT_TRUE(show->isVisible());
    show->setCurrentIndex(1);
    test::runEventsFor(100);
    shot(window, QStringLiteral("editor-grid-difference"));
    show->setCurrentIndex(0);

    auto *mode = window.findChild<QPushButton *>(BitBtn7);
    while (session.editor().front() != TableEditorController::Front::Chart)
        mode->click();
    test::runEventsFor(200);
    shot(window, QStringLiteral("editor-chart"));
    while (session.editor().front() != TableEditorController::Front::Surface)
        mode->click();
    test::runEventsFor(500);
    shot(window, QStringLiteral("editor-surface"));

    // DisplayMode 1 after the surface: "График на весь экран" takes the line chart.
    while (session.editor().front() != TableEditorController::Front::Chart)
        mode->click();
    window.findChild<QPushButton *>(BitBtn9)->click();
    test::runEventsFor(300);
    QWidget *full = page->fullScreenPanel();
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->parentWidget(), window.centralWidget());
    EXPECT_EQ(full->geometry(), window.centralWidget()->rect()) << "the whole page area";
    EXPECT_TRUE(window.findChild<QStatusBar *>()->isVisible());
    EXPECT_NE(full->findChild<QPushButton *>(QStringLiteral("FullScreenClose")), nullptr);
    shot(window, QStringLiteral("editor-full-screen-chart"));
    QTest::keyClick(full, Qt::Key_Escape);
    test::runEventsFor(100);
    EXPECT_EQ(page->fullScreenPanel(), nullptr) << "Esc gives the chart back";
    EXPECT_TRUE(page->chart()->isVisible());
    EXPECT_EQ(page->chart()->parentWidget()->objectName(), control::gr2d);

    session.disconnectEcu();
    EXPECT_TRUE(waitFor([&] { return session.editor().workingPointMarks().empty(); }, test::DemoWindow::kConnectMs))
        << "no working point without a connection";
}
