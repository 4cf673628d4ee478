#include "editor/AxisClipboard.h"
#include "editor/CellComparison.h"
#include "editor/TableGridModel.h"
#include "editor/WorkingPointTrail.h"

#include "EditorFixture.h"

#include <QSignalSpy>

using namespace korvel;
using test::EditorRig;

namespace {

// Shared axes of our own: 1000 rpm apart, throttle 10 % apart, pressure 20 kPa apart.
GridAxes comparisonTestAxes() {
    GridAxes a;
    for (int i = 0; i < 16; ++i) {
        a.rpm[static_cast<std::size_t>(i)] = 1000 * (i + 1);
        a.throttle[static_cast<std::size_t>(i)] = 10 * i;
        a.pressure[static_cast<std::size_t>(i)] = 200 * (i + 1);
        a.air[static_cast<std::size_t>(i)] = 50 * (i + 1);
    }
    return a;
}

void setCellShow(EditorRig &rig, bool compare, CellShow show) {
    DisplayOptions o = rig.editor.options();
    o.compare = compare;
    o.cellShow = show;
    rig.editor.setOptions(o);
}

} // namespace

TEST(GridComparison, DifferenceTexts) {
    struct Case {
        double value, other;
        CellShow show;
        const char *expected;
    };
    const Case cases[] = {
        {10, 8, CellShow::Difference, "+2"},
        {8, 10, CellShow::Difference, "-2"},
        {5, 5, CellShow::Difference, "0"},
        {1.0234375, 1.015625, CellShow::Difference, "+0.008"}, // 131 and 130 at ÷128
        {1.015625, 1.0156251, CellShow::Difference, "0"},      // rounds to -0
        {10, 8, CellShow::DifferencePercent, "+25 %"},
        {8, 10, CellShow::DifferencePercent, "-20 %"},
        {10, -8, CellShow::DifferencePercent, "+225 %"},
        {1.0234375, 1.015625, CellShow::DifferencePercent, "+0.8 %"},
        {5, 5, CellShow::DifferencePercent, "0 %"},
        {3, 0, CellShow::DifferencePercent, "—"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(differenceText({c.value, c.other, c.value != c.other}, c.show), QString::fromUtf8(c.expected))
            << c.value << " vs " << c.other << " mode " << static_cast<int>(c.show);
}

// A ÷128 map against a comparison firmware: raw 131 against 130 shows the
// same 1.02 but is marked; the grid shows values or differences on demand.
TEST(GridComparison, DifferingCellsAreMarkedAndShowTheirDifference) {
    EditorRig rig;
    rig.poke(0x5000, {131, 140, 150, 0});
    FirmwareImage other = rig.store.image();
    other.setByte(0x5000, 130);
    other.setByte(0x5002, 100);
    other.setByte(0x5003, 64);
    rig.store.loadComparison(other);
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 2\nrows 2\nd1 128\nd4 1\n"));
    TableGridModel model(rig.editor);

    struct Case {
        bool compare;
        CellShow show;
        std::array<const char *, 4> texts; // (1,1) (2,1) (1,2) (2,2)
        std::array<bool, 4> marked;
    };
    const Case cases[] = {
        {false, CellShow::Value, {"1.02", "1.09", "1.17", "0"}, {false, false, false, false}},
        {false, CellShow::Difference, {"1.02", "1.09", "1.17", "0"}, {false, false, false, false}},
        {true, CellShow::Value, {"1.02", "1.09", "1.17", "0"}, {true, false, true, true}},
        {true, CellShow::Difference, {"+0.008", "0", "+0.391", "-0.5"}, {true, false, true, true}},
        {true, CellShow::DifferencePercent, {"+0.8 %", "0 %", "+50 %", "-100 %"}, {true, false, true, true}},
    };
    for (const Case &c : cases) {
        setCellShow(rig, c.compare, c.show);
        for (int i = 0; i < 4; ++i) {
            const int column = i % 2 + 1;
            const int row = i / 2 + 1;
            const QModelIndex index = model.index(row - 1, column - 1);
            const std::string where = std::to_string(column) + ":" + std::to_string(row) + " mode " +
                                      std::to_string(static_cast<int>(c.show)) + (c.compare ? " vs" : "");
            EXPECT_EQ(index.data().toString(), QString::fromUtf8(c.texts[static_cast<std::size_t>(i)])) << where;
            EXPECT_EQ(index.data(TableGridModel::DifferentRole).toBool(), c.marked[static_cast<std::size_t>(i)])
                << where;
            EXPECT_EQ(index.data(Qt::EditRole).toString(), rig.cell(column, row)) << "editing sees the value";
        }
    }
    EXPECT_EQ(rig.editor.view().changedCells, 3);
}

TEST(GridComparison, NothingIsMarkedWithoutAComparisonFirmware) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 2\n"));
    setCellShow(rig, true, CellShow::Difference);
    EXPECT_EQ(rig.editor.shownText(1, 1), "1");
    EXPECT_FALSE(rig.editor.markedDifferent(1, 1));
    EXPECT_FALSE(rig.editor.markedDifferent(9, 9));
}

// Copy puts the breakpoints in the first row and column under a corner that
// names the axes; a paste leaves them out and lays the values at the cursor,
// and says whether it found them. An empty corner is a plain block's empty cell.
TEST(GridComparison, CopyWithAxesAndPasteWithOrWithoutThem) {
    EditorRig rig;
    rig.editor.setAxesSource(comparisonTestAxes);
    rig.poke(0x5000, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 3\nrows 3\nxcode !001-613C-30\nycode !006-7208\n"
                            "xname Обороты\nyname Дроссель\n"));
    const QString copied = rig.editor.copyBlockWithAxes(3, 2, 2, 1); // corners in either order
    EXPECT_EQ(copied, "Дроссель \\ Обороты\t2000\t3000\n0\t2\t3\n10\t5\t6\n");

    QSignalSpy reports(&rig.editor, &TableEditorController::pasteReported);
    struct Case {
        const char *what;
        CellPos at;
        QString text;
        std::vector<int> image; // all nine bytes after the paste
        const char *report;
    };
    const Case cases[] = {
        {"our own copy, one row down", {2, 2}, copied, {1, 2, 3, 4, 2, 3, 7, 5, 6}, "с осями"},
        {"from a spreadsheet: a named corner, CRLF",
         {1, 1},
         "об/мин\t5500\r\n33\t40\r\n",
         {40, 2, 3, 4, 2, 3, 7, 5, 6},
         "с осями"},
        {"values alone", {1, 3}, "50\t51\n", {40, 2, 3, 4, 2, 3, 50, 51, 6}, "без осей"},
        {"one line with an empty first cell is no axis", {2, 1}, "\t60\n", {40, 2, 60, 4, 2, 3, 50, 51, 6}, "без осей"},
        {"an empty corner is an empty cell of a plain block: its cell stays",
         {1, 2},
         "\t7\n8\t9\n",
         {40, 2, 60, 4, 7, 3, 8, 9, 6},
         "без осей"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(rig.editor.pasteBlock(c.at.column, c.at.row, c.text)) << c.what;
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(rig.byte(0x5000 + i), c.image[static_cast<std::size_t>(i)]) << c.what << " byte " << i;
        ASSERT_FALSE(reports.isEmpty());
        EXPECT_TRUE(reports.back().front().toString().contains(QString::fromUtf8(c.report)))
            << c.what << ": " << reports.back().front().toString().toStdString();
    }
    EXPECT_EQ(rig.store.undoCount(), 5) << "each paste one step";
}

TEST(GridComparison, CurveCopiesItsValueNameInTheFirstColumn) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2, 3, 4});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 4\nxstart 0\nxend 150\nunit мс\n"));
    EXPECT_EQ(rig.editor.copyBlockWithAxes(2, 1, 3, 1), "Оси\t50\t100\nмс\t2\t3\n") << "no axis name";
    ASSERT_TRUE(rig.editor.pasteBlock(3, 1, rig.editor.copyBlockWithAxes(1, 1, 2, 1)));
    EXPECT_EQ(rig.byte(0x5002), 1);
    EXPECT_EQ(rig.byte(0x5003), 2);
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 4\nxstart 0\nxend 150\n"));
    EXPECT_EQ(rig.editor.copyBlockWithAxes(1, 1, 1, 1), "Оси\t0\n—\t1\n") << "no value name: still a header";
}

TEST(WorkingPointOnTable, CellOfTheOperatingPointByTheMapsAxes) {
    EditorRig rig;
    rig.editor.setAxesSource(comparisonTestAxes);
    struct Case {
        const char *what;
        int kind;
        const char *xcode;
        const char *ycode;
        GridPosition at;
        std::optional<CellPos> cell;
    };
    const Case cases[] = {
        {"rpm x throttle", 2, "!001-613C-30", "!006-7208", {2400, 16, 0, 0}, CellPos{2, 3}},
        {"a tie takes the lower breakpoint", 2, "!001-613C-30", "!006-7208", {2500, 15, 0, 0}, CellPos{2, 2}},
        {"past the ends: the last cells", 2, "!001-613C-30", "!006-7208", {90000, 500, 0, 0}, CellPos{4, 4}},
        {"rpm x pressure (tenths of a kPa)", 2, "!001-613C-40", "!004-5EF2-5EF4", {1000, 99, 610, 0}, CellPos{1, 3}},
        {"rpm x cyclic air", 2, "!001-613C-30", "!004-6064-6066", {4000, 0, 0, 140}, CellPos{4, 3}},
        {"rows of engine speed are no load", 2, "!001-613C-30", "!001-613C-30", {2000, 10, 0, 0}, std::nullopt},
        {"columns of throttle are no speed", 2, "!006-7208", "!006-7208", {2000, 10, 0, 0}, std::nullopt},
        {"computed axes", 2, "", "", {2000, 10, 0, 0}, std::nullopt},
        {"a curve", 1, "!001-613C-30", "", {2000, 10, 0, 0}, std::nullopt},
    };
    for (const Case &c : cases) {
        QString fields = QStringLiteral("address 5000\ncells 4\nrows 4\n");
        for (const auto &[key, code] : {std::pair{"xcode", c.xcode}, std::pair{"ycode", c.ycode}})
            if (*code)
                fields += QStringLiteral("%1 %2\n").arg(QLatin1String(key), QString::fromUtf8(code));
        ASSERT_TRUE(rig.open(c.kind, fields)) << c.what;
        EXPECT_EQ(operatingCell(rig.editor.view(), c.at), c.cell) << c.what;
    }
}

TEST(WorkingPointOnTable, TrailFadesOverThreeSeconds) {
    WorkingPointTrail trail;
    using Mark = WorkingPointTrail::Mark;
    trail.visit(CellPos{1, 1}, 0);
    trail.visit(CellPos{1, 1}, 900); // still there: it leaves later
    trail.visit(CellPos{2, 1}, 1000);
    trail.visit(CellPos{3, 1}, 2500);
    EXPECT_EQ(trail.marks(2500), (std::vector<Mark>{{{3, 1}, 1.0}, {{2, 1}, 0.6}, {{1, 1}, 0.6 * 0.5}}));
    trail.visit(std::nullopt, 3400); // off the map: the last cell starts to fade too
    EXPECT_EQ(trail.marks(4000), (std::vector<Mark>{{{3, 1}, 0.6 * 0.8}, {{2, 1}, 0.6 * 0.5}}));
    trail.visit(CellPos{2, 1}, 4000); // back again: one mark, the current one
    EXPECT_EQ(trail.marks(4000), (std::vector<Mark>{{{2, 1}, 1.0}, {{3, 1}, 0.6 * 0.8}}));
    trail.visit(CellPos{2, 1}, 7000);
    EXPECT_EQ(trail.marks(7000), (std::vector<Mark>{{{2, 1}, 1.0}})) << "three seconds on, the rest is gone";
}

TEST(WorkingPointOnTable, EditorKeepsTheTrailOfTheOpenMapOnly) {
    EditorRig rig;
    rig.editor.setAxesSource(comparisonTestAxes);
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 4\nrows 4\nxcode !001-613C-30\nycode !006-7208\n"));
    TableGridModel model(rig.editor);
    QSignalSpy changed(&rig.editor, &TableEditorController::workingPointChanged);
    rig.editor.showOperatingPoint({1000, 0, 0, 0}, 0);
    rig.editor.showOperatingPoint({2000, 0, 0, 0}, 1500);
    EXPECT_EQ(model.index(0, 1).data(TableGridModel::WorkingPointRole).toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(model.index(0, 0).data(TableGridModel::WorkingPointRole).toDouble(), 0.6);
    EXPECT_FALSE(model.index(1, 1).data(TableGridModel::WorkingPointRole).isValid());
    EXPECT_EQ(changed.size(), 2);
    rig.editor.showOperatingPoint({2000, 0, 0, 0}, 1500); // nothing new: no repaint
    EXPECT_EQ(changed.size(), 2);

    rig.editor.clearOperatingPoint(); // disconnected
    EXPECT_TRUE(rig.editor.workingPointMarks().empty());
    rig.editor.showOperatingPoint({1000, 0, 0, 0}, 2000);
    ASSERT_TRUE(rig.open(1, "address 6000\ncells 4\n")); // another table
    EXPECT_TRUE(rig.editor.workingPointMarks().empty());
    rig.editor.showOperatingPoint({1000, 0, 0, 0}, 2100);
    EXPECT_TRUE(rig.editor.workingPointMarks().empty()) << "a curve has no working cell";
}
