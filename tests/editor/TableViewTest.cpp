#include "editor/HeatMap.h"
#include "editor/TableHeaders.h"
#include "firmware/DemoFirmware.h"

#include "EditorFixture.h"

#include <QStringList>

using namespace korvel;
using test::EditorRig;

namespace {

GridAxes demoAxes() {
    return axesFromImage(*FirmwareImage::fromBytes(makeDemoFirmware()), 1);
}

QStringList numbers(std::initializer_list<double> values) {
    QStringList list;
    for (double v : values)
        list << QString::number(v);
    return list;
}

QStringList intsOf(const auto &list, int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(list[static_cast<std::size_t>(i)]);
    return out;
}

} // namespace

TEST(TableHeaders, FollowTheAxisCodeOrTheDescriptionSpan) {
    const GridAxes axes = demoAxes();
    const QStringList throttle = intsOf(demofirmware::kThrottleBreakpoints, 16);
    const QStringList rpm = intsOf(demofirmware::kRpmBreakpoints, 16);
    QStringList byTen, bySixteen, from600, zeros;
    for (int i = 0; i < 16; ++i) {
        byTen << QString::number(10 * i);
        bySixteen << QString::number(16 * i);
        from600 << QString::number(600 + 338 * i); // Round(5400 / 16) = Round(337.5) = 338
        zeros << QStringLiteral("0");
    }
    struct Case {
        const char *what;
        int kind;
        AxisSpan span;
        QStringList expected;
    };
    const Case cases[] = {
        {"curve on the throttle axis", 1, {"!006-7208", 16, 0, 0}, throttle},
        {"curve, empty code from 0", 1, {"", 16, 0, 150}, byTen},
        {"curve, empty code from 600: the step rounds half to even", 1, {"", 16, 600, 6000}, from600},
        {"map, empty code from 0 steps by N", 2, {"", 16, 0, 999}, bySixteen},
        {"map, empty code from 100", 2, {"", 3, 100, 300}, {"100", "200", "300"}},
        {"curve, code naming no axis", 1, {"!999", 16, 0, 150}, zeros},
        {"curve, code naming the zero list for curves", 1, {"!002-613C-30", 16, 0, 150}, zeros},
        {"map on the speed axis", 2, {"!002-613C-30", 16, 0, 0}, rpm},
        {"map of one column, empty code", 2, {"", 1, 5, 5}, {""}},
        {"no cells", 1, {"", 0, 0, 0}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(columnHeaders(c.kind, c.span, axes), c.expected) << c.what;

    EXPECT_EQ(rowHeaders({"!1234", 16, 0, 0}, axes), rpm) << "a Y code naming no axis takes the speed axis";
    EXPECT_EQ(rowHeaders({"", 3, 10, 20}, axes), numbers({10, 15, 20}));
    EXPECT_EQ(rowHeaders({"", 1, 10, 20}, axes), QStringList{""});
}

TEST(TableHeaders, ThirtyTwoHeadersInterleaveBreakpointsAndMidpoints) {
    const GridAxes axes = demoAxes();
    const QStringList headers = columnHeaders(1, {"!001-613C-30", 32, 0, 0}, axes);
    ASSERT_EQ(headers.size(), 32);
    const auto &bp = demofirmware::kRpmBreakpoints;
    EXPECT_EQ(headers[0], QString::number(bp[0]));
    EXPECT_EQ(headers[1], QString::number((bp[0] + bp[1]) / 2.0));
    EXPECT_EQ(headers[2], QString::number(bp[1]));
    EXPECT_EQ(headers[30], QString::number(bp[15]));
    // The last midpoint reaches past the 16 breakpoints to the closing entry.
    EXPECT_EQ(headers[31], QString::number((bp[15] + axes.rpm[16]) / 2.0));
    // The air-step axis: the first cyclic-air breakpoint, then steps of 4.
    EXPECT_EQ(columnHeaders(1, {"!012-6064-6066", 3, 0, 0}, axes),
              numbers({double(axes.air[0]), axes.air[0] + 4.0, axes.air[0] + 8.0}));
}

TEST(HeatMap, ColoursBelowAndAboveTheMean) {
    const CellTexts cells = {{"0", "1"}, {"2", "5"}};
    const HeatStats stats = heatStats(cells);
    ASSERT_TRUE(stats.coloured);
    EXPECT_DOUBLE_EQ(stats.average, 2);
    EXPECT_DOUBLE_EQ(stats.factor, 63.75);
    struct Case {
        double value;
        int rgb;
    };
    for (const Case c : {Case{2, 0xFFFF00}, Case{5, 0xFF0000}, Case{1, 0xC0FF00}, Case{0, 0x80FF00}})
        EXPECT_EQ(heatColour(stats, c.value, 1, 0), c.rgb) << c.value;
    EXPECT_EQ(heatColour(stats, 5, 2, 2), kFlatRowColour) << "the row of the flat chart";

    EXPECT_FALSE(heatStats({{"3", "3"}, {"3", "3"}}).coloured) << "all equal";
    EXPECT_FALSE(heatStats({{"", "1"}, {"2", "5"}}).coloured) << "first cell empty";
    EXPECT_FALSE(heatColour(heatStats({{"3", "3"}}), 3, 1, 0).has_value());
}

TEST(TableView, MapCellsAreRoundedToTwoDecimalsAndLimited) {
    struct Case {
        double d1;
        QString expected;
    };
    for (const Case &c : {Case{1000, "10"}, Case{10000, "1.23"}}) {
        EditorRig rig;
        rig.poke(0x5000, {0x39, 0x30}); // 12345
        ASSERT_TRUE(
            rig.open(2, QStringLiteral("address 5000\ncells 1\nrows 1\ncelltype 2\nmax 10\nd1 %1\n").arg(c.d1)));
        EXPECT_EQ(rig.cell(1, 1), c.expected) << c.d1;
    }
    // A curve shows its values neither rounded nor limited.
    EditorRig rig;
    rig.poke(0x5000, {0x39, 0x30});
    ASSERT_TRUE(rig.open(1, QStringLiteral("address 5000\ncells 1\ncelltype 2\nmax 10\nd1 1000\n")));
    EXPECT_EQ(rig.cell(1, 1), "12.345");
}

TEST(TableView, OpenTableLimitsComeFromTheCellTypeWhenTheDescriptionSaysZero) {
    EditorRig rig;
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 2\nrows 2\ncelltype 1\nd4 0.5\nmax 20\n"));
    EXPECT_EQ(rig.editor.view().table.minimum, -64);
    EXPECT_EQ(rig.editor.view().table.maximum, 20);
    EXPECT_EQ(rig.editor.view().valueMinimum, -64);
    EXPECT_EQ(rig.editor.view().valueMaximum, 63.5);
}

TEST(TableView, MapRowsFillTheLinesInDepthOrFlat) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2, 3, 4, 5, 6}); // three rows of two
    const QString map = "address 5000\ncells 2\nrows 3\nyname Обороты\n";
    DisplayOptions depth;
    depth.depth = true;
    rig.editor.setOptions(depth);
    ASSERT_TRUE(rig.open(2, map));
    const TableView &v = rig.editor.view();
    EXPECT_EQ(v.series[2].values, (std::vector<double>{1, 2})) << "row 1 by series M";
    EXPECT_EQ(v.series[0].values, (std::vector<double>{5, 6})) << "row M by Series1";
    EXPECT_TRUE(v.series[0].visible && v.series[1].visible && v.series[2].visible);
    EXPECT_FALSE(v.series[3].visible);
    EXPECT_EQ(v.series[0].colour, depthLineColour(1));
    EXPECT_EQ(depthLineColour(1), 0x20FF00);
    EXPECT_EQ(depthLineColour(9), 0xFFE300);

    DisplayOptions flat;
    flat.flatRow = 0;
    rig.editor.setOptions(flat);
    EXPECT_TRUE(v.series[0].visible);
    EXPECT_EQ(v.series[0].values, (std::vector<double>{1, 2})) << "flat: Series1 refilled from row 1";
    EXPECT_FALSE(v.series[1].visible || v.series[2].visible);
    EXPECT_EQ(v.series[0].colour, 0xFF2000);
    EXPECT_EQ(v.trackLabel, "Обороты:" + v.rowHeaders[0]);
    EXPECT_EQ(rig.editor.cellColour(1, 1), kFlatRowColour);
    EXPECT_NE(rig.editor.cellColour(1, 2), kFlatRowColour);
}

TEST(TableView, ComparisonLineAndChangedCells) {
    EditorRig rig;
    rig.poke(0x5000, {10, 20, 30, 40});
    FirmwareImage other = rig.store.image();
    other.setByte(0x5001, 21);
    other.setByte(0x5003, 41);
    rig.store.loadComparison(other);
    DisplayOptions options;
    options.compare = true;
    rig.editor.setOptions(options);
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 4\n"));
    const TableView &v = rig.editor.view();
    EXPECT_EQ(v.changedCells, 2);
    EXPECT_TRUE(v.second.visible);
    EXPECT_EQ(v.second.values, (std::vector<double>{10, 21, 30, 41}));
    EXPECT_EQ(v.series[0].values, (std::vector<double>{10, 20, 30, 40}));
    EXPECT_EQ(v.series[0].colour, 0xFF0000);

    options.compare = false; // vs unticked: no line, the texts stay
    rig.editor.setOptions(options);
    EXPECT_FALSE(rig.editor.view().second.visible);
    EXPECT_EQ(rig.editor.view().comparison.at(0).at(1), "21");
}

TEST(TableView, UnsupportedAndUnreadableEntries) {
    EditorRig rig;
    rig.poke(0x5000, {9, 9});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 2\ncelltype 6\nd5 -3\n"));
    EXPECT_TRUE(rig.editor.view().unsupported);
    EXPECT_EQ(rig.cell(1, 1), "3") << "type 6 shows the conversion of raw 0";
    EXPECT_FALSE(rig.editor.applyGridEdits()) << "and is never written back";
    EXPECT_EQ(rig.byte(0x5000), 9);
    EXPECT_EQ(rig.store.undoCount(), 0);

    // Cells past the end of the image read as raw 0.
    ASSERT_TRUE(rig.open(1, "address FFFF\ncells 2\ncelltype 2\n"));
    EXPECT_EQ(rig.cell(2, 1), "0");

    // More cells than the image has bytes: a broken description, refused.
    EXPECT_FALSE(rig.open(2, "address 0\ncells 60000\nrows 200\n"));
    EXPECT_TRUE(rig.editor.view().cells.empty());

    // A reference whose description runs past the map is refused and logged.
    EXPECT_FALSE(rig.editor.showTable(test::oneTableMap(2, ""), TableRef{2, "x", 5000}));
    EXPECT_FALSE(rig.log.lines().isEmpty());
}

// Two raw values can show the same rounded text (130 and 131 are both 1.02
// at ÷128): the count of changed cells compares the raw values.
TEST(TableView, ChangedCellsCountRawDifferences) {
    EditorRig rig;
    rig.poke(0x5000, {130, 140, 150});
    FirmwareImage other = rig.store.image();
    other.setByte(0x5000, 131); // shows 1.02 as well
    other.setByte(0x5002, 149); // 1.16 against 1.17
    rig.store.loadComparison(other);
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 3\nrows 1\nd1 128\nd4 1\n"));
    ASSERT_EQ(rig.editor.view().comparison.at(0).at(0), rig.cell(1, 1));
    EXPECT_EQ(rig.editor.view().changedCells, 2);
}
