#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "editor/CellText.h"
#include "editor/TableEditorController.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareStore.h"
#include "firmware/MapBuilder.h"
#include "ui/TableChartView.h"
#include "ui/TableSurface.h"
#include "ui/TableViewPage.h"

#include "Shots.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

#include <dlfcn.h>
#include <link.h>

using namespace korvel;

namespace {

// A small map over the demo firmware: a curve, two maps, a single value,
// flags and texts, each a group of its own under "Демо".
const char *kDemoMap = R"(group 1 Демо
group 2 УОЗ на холостом ходу
kind 1
address 6DC8
cells 16
xcode !001-613C-40
xname Обороты, об/мин
unit Угол, град
d4 0.5
group 2 Цикловое наполнение
kind 2
address 75EF
cells 16
rows 16
xcode !001-613C-40
ycode !006-7208
xname Обороты, об/мин
yname Дроссель, %
unit мг/цикл
d4 8
d1 3
group 2 УОЗ
kind 2
address 6DC8
cells 16
rows 16
xcode !001-613C-40
ycode !006-7208
xname Обороты, об/мин
yname Дроссель, %
unit Угол, град
d4 0.5
group 2 Обороты холостого хода
kind 3
address 5F20
unit об/мин
max 1500
d4 10
group 2 Комплектация
kind 4
flag 0 6051 Датчики
bit 0 0 Датчик кислорода
bit 0 3 Датчик детонации
bit 0 5 Датчик фаз
flag 1 6052 Привод
bit 1 4 Датчик скорости
group 2 Идентификация
kind 5
title Идентификация прошивки
text 0 0010 24 Firmware
text 1 0013 5 Project
)";

struct Entry {
    int kind;
    const char *name;
};
const Entry kCurve{1, "УОЗ на холостом ходу"};
const Entry kGbc{2, "Цикловое наполнение"};
const Entry kIgnition{2, "УОЗ"};
const Entry kSingle{3, "Обороты холостого хода"};
const Entry kFlags{4, "Комплектация"};
const Entry kIdent{5, "Идентификация"};

// The 3-D surface draws through the system's OpenGL driver, which Qt unloads
// at exit before the leak check runs; its own leaks then show without a
// library name to suppress them by. Keeping it loaded names them.
void keepGlDriversLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *) {
            const QString path = QString::fromLocal8Bit(info->dlpi_name);
            if (path.contains(QStringLiteral("_dri.so")) || path.contains(QStringLiteral("libLLVM")))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

struct PageRig {
    ProgramLog log;
    FirmwareStore store{&log};
    TableEditorController editor{store, &log};
    CalibrationMap map;
    MapTree tree;
    ui::TableViewPage page{editor};

    PageRig() {
        FirmwareImage image = *FirmwareImage::fromBytes(makeDemoFirmware());
        image.setByte(0x5F20, 85);
        store.loadImage(image);
        const Outcome<QByteArray> built = buildCalibrationMap(QString::fromUtf8(kDemoMap));
        EXPECT_TRUE(built.ok()) << built.error().toStdString();
        map.bytes = built.value();
        tree = BuildMapTree(map, QStringLiteral("demo.j5"));
        page.resize(1100, 720);
        page.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
    }
    ~PageRig() { keepGlDriversLoaded(); }
    void open(const Entry &e) {
        for (const MapNode &n : tree.nodes)
            if (n.kind == e.kind && n.name == QString::fromUtf8(e.name)) {
                ASSERT_TRUE(editor.showTable(map, TableRef{n.kind, n.name, n.reference}));
                QApplication::processEvents();
                return;
            }
        FAIL() << e.name;
    }
    int byte(int address) const { return store.image().byteAt(address).value_or(-1); }
    template <typename T> T *child(const QString &name) {
        T *w = page.findChild<T *>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    // Into the test artifacts, and a copy where KORVEL_SHOTS points.
    void shot(const QString &name, QWidget *w = nullptr) {
        QApplication::processEvents();
        save(w ? w->grab().toImage() : page.snapshot(), name);
    }
    static void save(const QImage &image, const QString &name) {
        test::saveShot(image, QStringLiteral("editor-%1.png").arg(name));
    }
};

void sendMouse(QWidget *to, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QMouseEvent e(type, at, to->mapToGlobal(at), button, held, keys);
    QApplication::sendEvent(to, &e);
}

} // namespace

TEST(EditorPage, DraggingAPointWritesTheByteAndOneUndoRestoresIt) {
    PageRig rig;
    rig.open(kCurve);
    ASSERT_EQ(rig.page.frontPanel()->objectName(), control::gr2d);
    ui::TableChartView *chart = rig.page.chart();
    const int before = rig.byte(0x6DC8 + 3);
    const QPoint from = chart->pointPosition(1, 3);
    ASSERT_FALSE(from.isNull());
    QWidget *viewport = chart->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, from - QPoint(0, 60), Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, from - QPoint(0, 60), Qt::LeftButton, Qt::NoButton);
    const int after = rig.byte(0x6DC8 + 3);
    EXPECT_GT(after, before) << "the point went up";
    EXPECT_EQ(rig.byte(0x6DC8 + 4), rig.store.image().byteAt(0x852F + 4).value()) << "only the dragged cell";
    EXPECT_EQ(rig.store.undoCount(), 1);
    EXPECT_EQ(chart->line(1)->at(3).y(), after * 0.5);

    ASSERT_TRUE(rig.editor.undoStep());
    EXPECT_EQ(rig.byte(0x6DC8 + 3), before);
    EXPECT_EQ(chart->line(1)->at(3).y(), before * 0.5);
}

TEST(EditorPage, AGridBlockIsRaisedByTheStep) {
    PageRig rig;
    rig.open(kIgnition);
    QTableView *grid = rig.page.grid();
    ASSERT_TRUE(grid->isVisible()) << "a map opens on its grid";
    QAbstractItemModel *model = grid->model();
    QWidget *viewport = grid->viewport();
    const QPoint a = grid->visualRect(model->index(1, 2)).center();
    const QPoint b = grid->visualRect(model->index(2, 4)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, b);
    EXPECT_EQ(rig.child<QLabel>(control::LabelChangepoints)->text(), "Точка1=4/Точка2=5// выбрано =2");
    auto *raise = rig.child<QPushButton>(control::BitBtn23);
    ASSERT_TRUE(raise->isVisible());

    std::vector<int> before;
    for (int a2 = 0; a2 < 256; ++a2)
        before.push_back(rig.byte(0x6DC8 + a2));
    rig.child<QLineEdit>(control::EditChangepoints)->setText("1");
    QTest::mouseClick(raise, Qt::LeftButton);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            const int at = row * 16 + column;
            const bool chosen = row >= 1 && row <= 2 && column >= 2 && column <= 4;
            EXPECT_EQ(rig.byte(0x6DC8 + at), before[at] + (chosen ? 2 : 0)) << row << "," << column;
        }
    EXPECT_EQ(rig.store.undoCount(), 1);
    rig.shot(QStringLiteral("map-grid"));
}

// A block command answers its key on the grid, says the key in its tooltip,
// and is offered only while a block is selected.
TEST(EditorPage, BlockCommandKeysWorkOnTheGrid) {
    PageRig rig;
    rig.open(kIgnition);
    QTableView *grid = rig.page.grid();
    QAbstractItemModel *model = grid->model();
    auto *mean = rig.page.findChild<QAction *>(QStringLiteral("ActionMean"));
    ASSERT_NE(mean, nullptr);
    EXPECT_TRUE(mean->toolTip().endsWith("(M)")) << mean->toolTip().toStdString();
    EXPECT_FALSE(mean->isEnabled()) << "no block yet";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(model->index(1, 1)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(model->index(2, 2)).center());
    EXPECT_TRUE(mean->isEnabled());
    std::vector<int> before;
    for (int at = 0; at < 256; ++at)
        before.push_back(rig.byte(0x6DC8 + at));
    const int sum = before[17] + before[18] + before[33] + before[34];
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_M);
    for (const QLineEdit *editor : grid->findChildren<QLineEdit *>())
        EXPECT_FALSE(editor->isVisible()) << "the key is the command's, not the start of an edit";
    // Half-degree steps: the mean of the raw values, rounded half to even.
    const int expected = static_cast<int>(std::nearbyint(sum / 4.0));
    for (int at = 0; at < 256; ++at) {
        const bool inBlock = (at / 16 == 1 || at / 16 == 2) && (at % 16 == 1 || at % 16 == 2);
        EXPECT_EQ(rig.byte(0x6DC8 + at), inBlock ? expected : before[static_cast<std::size_t>(at)]) << at;
    }
    EXPECT_EQ(rig.store.undoCount(), 1);
}

// "График на весь экран" without a window around the page covers the page;
// its own button gives the chart back.
TEST(EditorPage, FullScreenChartCoversThePageUntilClosed) {
    PageRig rig;
    rig.open(kGbc);
    rig.child<QPushButton>(control::BitBtn9)->click();
    QApplication::processEvents();
    QWidget *panel = rig.page.fullScreenPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), rig.page.rect());
    EXPECT_EQ(rig.page.chart()->parentWidget(), panel);
    EXPECT_TRUE(rig.page.chart()->isVisible());
    rig.page.resize(900, 600);
    QApplication::processEvents();
    EXPECT_EQ(panel->geometry(), rig.page.rect()) << "it follows the page's size";
    auto *close = panel->findChild<QPushButton *>(QStringLiteral("FullScreenClose"));
    ASSERT_NE(close, nullptr);
    close->click();
    QApplication::processEvents();
    EXPECT_EQ(rig.page.fullScreenPanel(), nullptr);
    EXPECT_EQ(rig.page.chart()->parentWidget()->objectName(), control::gr2d);
}

TEST(EditorPage, ABlockCopiedAndPastedOneRowDownIsOneEdit) {
    PageRig rig;
    rig.open(kIgnition);
    QTableView *grid = rig.page.grid();
    QAbstractItemModel *model = grid->model();
    // Rows 3 to 5, columns 2 to 4 (from 1); pasted with its corner one row down.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(model->index(2, 1)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(model->index(4, 3)).center());
    std::vector<int> before;
    for (int at = 0; at < 256; ++at)
        before.push_back(rig.byte(0x6DC8 + at));
    const QString corner = model->index(2, 1).data().toString();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().count('\n'), 4) << "a header row and three rows";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(model->index(3, 1)).center());
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);

    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            const bool pasted = row >= 3 && row <= 5 && column >= 1 && column <= 3;
            const int source = pasted ? (row - 1) * 16 + column : row * 16 + column;
            EXPECT_EQ(rig.byte(0x6DC8 + row * 16 + column), before[source]) << row << "," << column;
        }
    EXPECT_EQ(model->index(3, 1).data().toString(), corner) << "the grid shows the image again";
    EXPECT_EQ(rig.store.undoCount(), 1) << "the whole paste is one step";
    ASSERT_TRUE(rig.editor.undoStep());
    for (int at = 0; at < 256; ++at)
        EXPECT_EQ(rig.byte(0x6DC8 + at), before[at]) << at;
}

TEST(EditorPage, MarksFollowTheAngleAndEveryNthPointBars) {
    PageRig rig;
    rig.open(kCurve);
    DisplayOptions options = rig.editor.options();
    options.markColour = 0x0000FF; // a colour nothing else on the chart uses
    rig.editor.setOptions(options);
    QTest::mouseClick(rig.child<QPushButton>(control::BitBtn17), Qt::LeftButton);
    ASSERT_TRUE(rig.child<QWidget>(control::Panel1)->isVisible());
    rig.child<QCheckBox>(control::Checkmarks)->setChecked(true);
    rig.child<QSlider>(control::TrackBar3)->setValue(4);
    rig.child<QSlider>(control::TrackBar4)->setValue(3);
    EXPECT_EQ(rig.child<QLabel>(control::Label63)->text(), "60");
    EXPECT_EQ(rig.child<QLabel>(control::Label64)->text(), "3");

    ui::TableChartView *chart = rig.page.chart();
    const QList<ui::TableChartView::PointMark> marks = chart->pointMarks();
    ASSERT_EQ(marks.size(), 6) << "points 1, 4, ... 16 of the curve's 16";
    for (int i = 0; i < marks.size(); ++i) {
        EXPECT_EQ(marks[i].index, 3 * i);
        EXPECT_EQ(marks[i].angle, 60);
        EXPECT_EQ(marks[i].text, FloatToStr(chart->line(1)->at(3 * i).y()));
    }
    // Painted: mark-coloured text rises right of a marked point, none over the next one.
    QApplication::processEvents();
    const QImage image = chart->viewport()->grab().toImage();
    const auto markPixels = [&image](QPoint at) {
        int n = 0;
        for (int y = at.y() - 40; y < at.y() - 2; ++y)
            for (int x = at.x() - 4; x < at.x() + 30; ++x)
                if (image.rect().contains(x, y) && image.pixelColor(x, y).blue() > 160 &&
                    image.pixelColor(x, y).red() < 100 && image.pixelColor(x, y).green() < 100)
                    ++n;
        return n;
    };
    EXPECT_GT(markPixels(chart->pointPosition(1, 6)), 5);
    EXPECT_EQ(markPixels(chart->pointPosition(1, 7)), 0);
    rig.shot(QStringLiteral("curve-marks"));

    rig.child<QCheckBox>(control::Checkmarks)->setChecked(false);
    EXPECT_TRUE(chart->pointMarks().isEmpty());
}

TEST(EditorPage, ATypedSingleValueIsWrittenOnEnter) {
    PageRig rig;
    rig.open(kSingle);
    ASSERT_EQ(rig.page.frontPanel()->objectName(), control::gr1d);
    auto *edit = rig.child<QLineEdit>(control::Edit78);
    EXPECT_EQ(edit->text(), "850");
    edit->setText("900");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(rig.byte(0x5F20), 90);
    EXPECT_EQ(rig.child<QLabel>(control::Label1d)->text(), "900");
}

TEST(EditorPage, AFlagClickWritesItsByte) {
    PageRig rig;
    rig.open(kFlags);
    ASSERT_EQ(rig.page.frontPanel()->objectName(), control::flags);
    const int before = rig.byte(0x6051);
    auto *knock = rig.child<QCheckBox>(QStringLiteral("iCheckBox10")); // byte 0, bit 3
    ASSERT_TRUE(knock->isVisible());
    EXPECT_EQ(knock->isChecked(), (before & 0x08) != 0);
    QTest::mouseClick(knock, Qt::LeftButton);
    EXPECT_EQ(rig.byte(0x6051), before ^ 0x08);
    EXPECT_EQ(rig.store.undoCount(), 1);
}

TEST(EditorPage, Screenshots) {
    PageRig rig;
    rig.open(kCurve);
    rig.shot(QStringLiteral("curve"));

    rig.open(kGbc);
    rig.shot(QStringLiteral("map-gbc-grid"));
    DisplayOptions options;
    options.flatRow = 5;
    options.marks = true;
    rig.editor.setOptions(options);
    while (rig.editor.front() != TableEditorController::Front::Chart)
        rig.page.findChild<QPushButton *>(control::BitBtn7)->click();
    ASSERT_EQ(rig.editor.front(), TableEditorController::Front::Chart);
    rig.shot(QStringLiteral("map-flat-chart"));
    options.depth = true;
    options.marks = false;
    rig.editor.setOptions(options);
    rig.shot(QStringLiteral("map-all-rows-chart"));
    while (rig.editor.front() != TableEditorController::Front::Surface)
        rig.page.findChild<QPushButton *>(control::BitBtn7)->click();
    rig.shot(QStringLiteral("surface-page"));
    QApplication::processEvents();
    const QImage surface = rig.page.surface()->render(QSize(900, 600));
    EXPECT_FALSE(surface.isNull());
    PageRig::save(surface, QStringLiteral("surface"));

    FirmwareImage other = rig.store.image();
    for (int i = 4; i < 10; ++i)
        other.setByte(0x6DC8 + i, static_cast<std::uint8_t>(other.byteAt(0x6DC8 + i).value() + 6));
    rig.store.loadComparison(other);
    rig.page.setCompare(true);
    rig.open(kCurve);
    EXPECT_TRUE(rig.child<QLabel>(control::Labeldiff)->isVisible());
    rig.shot(QStringLiteral("comparison"));

    rig.open(kSingle);
    rig.shot(QStringLiteral("single-value"));
    rig.open(kFlags);
    rig.shot(QStringLiteral("flags"));
    rig.open(kIdent);
    rig.shot(QStringLiteral("ident"));
}

// The keys a spreadsheet user expects on the grid: typing starts an edit,
// Enter commits and moves down, Shift+arrows and a dragged block are ranges,
// and a paste fills, skips and lays as spreadsheets do.
TEST(EditorPage, TheGridTakesTheKeysASpreadsheetUserExpects) {
    PageRig rig;
    rig.open(kIgnition); // 16 x 16 at 6DC8, half a degree per step
    QTableView *grid = rig.page.grid();
    QAbstractItemModel *model = grid->model();
    const auto at = [](int row, int column) { return 0x6DC8 + row * 16 + column; };
    grid->setFocus();
    grid->setCurrentIndex(model->index(2, 3));

    QTest::keyClick(grid, Qt::Key_1);
    auto *editor = grid->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr) << "a digit opens the cell's editor";
    EXPECT_EQ(editor->text(), "1");
    QTest::keyClick(editor, Qt::Key_2);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(rig.byte(at(2, 3)), 24) << "12 degrees";
    EXPECT_EQ(grid->currentIndex(), model->index(3, 3)) << "Enter committed and moved down, the cell kept";
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(grid->currentIndex(), model->index(4, 3));

    // Shift+arrows select a block that the range commands act on.
    grid->setCurrentIndex(model->index(5, 6));
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(rig.child<QLabel>(control::LabelChangepoints)->text(), "Точка1=8/Точка2=8// выбрано =1");
    auto *raise = rig.child<QPushButton>(control::BitBtn23);
    ASSERT_TRUE(raise->isVisible());
    std::vector<int> before;
    for (int a = 0; a < 256; ++a)
        before.push_back(rig.byte(0x6DC8 + a));
    rig.child<QLineEdit>(control::EditChangepoints)->setText("1");
    QTest::mouseClick(raise, Qt::LeftButton);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column) {
            const bool chosen = row >= 5 && row <= 6 && column >= 6 && column <= 7;
            EXPECT_EQ(rig.byte(at(row, column)), before[row * 16 + column] + (chosen ? 2 : 0)) << row << "," << column;
        }

    // A block dragged out with the mouse is a range too.
    QWidget *viewport = grid->viewport();
    const QPoint from = grid->visualRect(model->index(8, 2)).center();
    const QPoint to = grid->visualRect(model->index(9, 5)).center();
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(rig.child<QLabel>(control::LabelChangepoints)->text(), "Точка1=4/Точка2=6// выбрано =3");
    EXPECT_TRUE(raise->isVisible());

    // One value pasted onto that block fills it.
    QGuiApplication::clipboard()->setText(QStringLiteral("5\r\n"));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    for (int row = 8; row <= 9; ++row)
        for (int column = 2; column <= 5; ++column)
            EXPECT_EQ(rig.byte(at(row, column)), 10) << row << "," << column;
    EXPECT_NE(rig.byte(at(10, 2)), 10);

    // An empty spreadsheet cell leaves its cell as it is.
    const int kept = rig.byte(at(12, 1));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, grid->visualRect(model->index(12, 0)).center());
    QGuiApplication::clipboard()->setText(QStringLiteral("1\t\t3\r\n"));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rig.byte(at(12, 0)), 2);
    EXPECT_EQ(rig.byte(at(12, 1)), kept);
    EXPECT_EQ(rig.byte(at(12, 2)), 6);

    // A column from a spreadsheet pasted onto a curve lays all its values along it.
    rig.open(kCurve);
    grid = rig.page.grid();
    model = grid->model();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(model->index(0, 1)).center());
    QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n2\r\n3\r\n"));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rig.byte(0x6DC8 + 1), 2);
    EXPECT_EQ(rig.byte(0x6DC8 + 2), 4);
    EXPECT_EQ(rig.byte(0x6DC8 + 3), 6);
}
