#include "editor/BlockCommands.h"
#include "editor/TableGridModel.h"

#include "EditorFixture.h"

using namespace korvel;
using test::EditorRig;

namespace {

CellTexts blockGrid(std::initializer_list<std::initializer_list<const char *>> rows) {
    CellTexts cells;
    for (const auto &r : rows) {
        std::vector<QString> line;
        for (const char *t : r)
            line.emplace_back(QString::fromUtf8(t));
        cells.push_back(line);
    }
    return cells;
}

} // namespace

// Every block command on a small grid, with the result worked out by hand.
TEST(BlockCommands, EachCommandOnItsBlock) {
    struct Case {
        const char *what;
        BlockCommand command;
        CellBlock block;
        const char *percent;
        CellTexts before;
        CellTexts expected;
    };
    const Case cases[] = {
        {"rows: each row between its first and last cell",
         BlockCommand::InterpolateRows,
         {1, 1, 4, 2},
         "",
         blockGrid({{"0", "7", "7", "30"}, {"10", "7", "7", "40"}, {"5", "5", "5", "5"}}),
         blockGrid({{"0", "10", "20", "30"}, {"10", "20", "30", "40"}, {"5", "5", "5", "5"}})},
        {"columns: each column between its top and bottom cell",
         BlockCommand::InterpolateColumns,
         {2, 1, 2, 4},
         "",
         blockGrid({{"1", "0", "1"}, {"1", "50", "1"}, {"1", "50", "1"}, {"1", "9", "1"}}),
         blockGrid({{"1", "0", "1"}, {"1", "3", "1"}, {"1", "6", "1"}, {"1", "9", "1"}})},
        {"2-D: a bilinear surface comes back from its edges (2i + 3j + ij)",
         BlockCommand::Interpolate2D,
         {1, 1, 4, 4},
         "",
         blockGrid({{"0", "2", "4", "6"}, {"3", "99", "99", "12"}, {"6", "99", "99", "18"}, {"9", "14", "19", "24"}}),
         blockGrid({{"0", "2", "4", "6"}, {"3", "6", "9", "12"}, {"6", "10", "14", "18"}, {"9", "14", "19", "24"}})},
        {"2-D: one raised edge cell lifts the inside by half (Coons patch)",
         BlockCommand::Interpolate2D,
         {1, 1, 3, 3},
         "",
         blockGrid({{"0", "0", "0"}, {"6", "99", "0"}, {"0", "0", "0"}}),
         blockGrid({{"0", "0", "0"}, {"6", "3", "0"}, {"0", "0", "0"}})},
        {"2-D on one row interpolates along the row",
         BlockCommand::Interpolate2D,
         {1, 1, 3, 1},
         "",
         blockGrid({{"2", "0", "4"}}),
         blockGrid({{"2", "3", "4"}})},
        {"percent: 105 raises by 5 %, outside the block nothing",
         BlockCommand::ScalePercent,
         {1, 1, 2, 1},
         "105",
         blockGrid({{"20", "40", "60"}}),
         blockGrid({{"21", "42", "60"}})},
        {"percent with a decimal comma",
         BlockCommand::ScalePercent,
         {1, 1, 1, 1},
         "50,5",
         blockGrid({{"200"}}),
         blockGrid({{"101"}})},
        {"mean of the block",
         BlockCommand::Mean,
         {1, 1, 2, 2},
         "",
         blockGrid({{"1", "2", "100"}, {"3", "6", "100"}}),
         blockGrid({{"3", "3", "100"}, {"3", "3", "100"}})},
        {"smooth: one pass from the values before it, edges kept",
         BlockCommand::Smooth,
         {1, 1, 4, 4},
         "",
         blockGrid({{"0", "0", "0", "0"}, {"0", "9", "0", "0"}, {"0", "0", "0", "0"}, {"0", "0", "0", "9"}}),
         blockGrid({{"0", "0", "0", "0"}, {"0", "1", "1", "0"}, {"0", "1", "2", "0"}, {"0", "0", "0", "9"}})},
        {"smooth: the 3 x 3 stays inside the block",
         BlockCommand::Smooth,
         {1, 1, 3, 3},
         "",
         blockGrid({{"0", "0", "0", "90"}, {"0", "9", "0", "90"}, {"0", "0", "0", "90"}}),
         blockGrid({{"0", "0", "0", "90"}, {"0", "1", "0", "90"}, {"0", "0", "0", "90"}})},
        {"smooth: a single row smooths along itself, its ends kept",
         BlockCommand::Smooth,
         {1, 1, 4, 1},
         "",
         blockGrid({{"0", "3", "0", "3"}}),
         blockGrid({{"0", "1", "2", "3"}})},
        {"smooth: a block two cells high has only edges",
         BlockCommand::Smooth,
         {1, 1, 3, 2},
         "",
         blockGrid({{"0", "9", "0"}, {"9", "0", "9"}}),
         blockGrid({{"0", "9", "0"}, {"9", "0", "9"}})},
    };
    for (const Case &c : cases) {
        CellTexts cells = c.before;
        const Outcome<bool> done = applyBlockCommand(cells, c.command, c.block, QString::fromUtf8(c.percent));
        ASSERT_TRUE(done.ok()) << c.what << ": " << done.error().toStdString();
        EXPECT_EQ(cells, c.expected) << c.what;
    }
}

TEST(BlockCommands, RefusedBlocksChangeNothing) {
    const CellTexts start = blockGrid({{"1", "2"}, {"x", "4"}});
    struct Case {
        const char *what;
        BlockCommand command;
        CellBlock block;
        const char *percent;
    };
    const Case cases[] = {
        {"a cell without a number", BlockCommand::Mean, {1, 1, 2, 2}, ""},
        {"a percent without a number", BlockCommand::ScalePercent, {1, 1, 2, 1}, "abc"},
        {"past the right edge", BlockCommand::Smooth, {1, 1, 3, 1}, ""},
        {"past the bottom", BlockCommand::InterpolateColumns, {2, 1, 2, 3}, ""},
        {"no block", BlockCommand::Mean, {}, ""},
    };
    for (const Case &c : cases) {
        CellTexts cells = start;
        EXPECT_FALSE(applyBlockCommand(cells, c.command, c.block, QString::fromUtf8(c.percent)).ok()) << c.what;
        EXPECT_EQ(cells, start) << c.what;
    }
    EXPECT_EQ(blockOf({{3, 2}, {1, 4}, {2, 3}}), (CellBlock{1, 2, 3, 4}));
    EXPECT_FALSE(blockOf({}).has_value());
}

// Through the editor: the selected block changes in the image, each command
// is one undo step, and the undo brings the block back.
TEST(BlockCommands, EachCommandIsOneUndoStepOnTheSelectedBlock) {
    const BlockCommand commands[] = {BlockCommand::InterpolateRows,
                                     BlockCommand::InterpolateColumns,
                                     BlockCommand::Interpolate2D,
                                     BlockCommand::ScalePercent,
                                     BlockCommand::Mean,
                                     BlockCommand::Smooth};
    EditorRig rig;
    rig.poke(0x5000, {10, 20, 30, 40, //
                      20, 10, 10, 50, //
                      30, 90, 10, 60, //
                      40, 50, 60, 70});
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 4\nrows 4\n"));
    rig.editor.gridReleased(false, 1, 1, 1, 1, 0, 0);
    rig.editor.gridReleased(true, 1, 1, 4, 4, 0, 0);
    rig.editor.setChangeText("50");
    for (BlockCommand command : commands) {
        const int undo = rig.store.undoCount();
        ASSERT_TRUE(rig.editor.runBlockCommand(command)) << static_cast<int>(command);
        EXPECT_EQ(rig.store.undoCount(), undo + 1) << static_cast<int>(command);
        ASSERT_TRUE(rig.editor.undoStep());
        EXPECT_EQ(rig.byte(0x5005), 10) << "the undo restores the block";
    }
    // The 2-D interpolation once more, read from the image: the inside of
    // the block from its edges (10 + 10·i + 10·j on these edges).
    ASSERT_TRUE(rig.editor.runBlockCommand(BlockCommand::Interpolate2D));
    EXPECT_EQ(rig.byte(0x5005), 30);
    EXPECT_EQ(rig.byte(0x5006), 40);
    EXPECT_EQ(rig.byte(0x5009), 40);
    EXPECT_EQ(rig.byte(0x500A), 50);
    EXPECT_EQ(rig.byte(0x5001), 20) << "edges stay";

    rig.editor.nextDisplay(); // ends the selection
    const int undo = rig.store.undoCount();
    EXPECT_FALSE(rig.editor.runBlockCommand(BlockCommand::Mean));
    EXPECT_EQ(rig.store.undoCount(), undo);
}

// A chart selection is one row's segment: the block commands take it as a block one row high.
TEST(BlockCommands, ChartSegmentIsABlockOfOneRow) {
    EditorRig rig;
    rig.poke(0x5000, {0, 50, 50, 30, 9});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 5\n"));
    rig.editor.chartReleased(true, -0.5, 0, 0, 0);
    rig.editor.chartReleased(true, 3.5, 0, 100, 0);
    ASSERT_TRUE(rig.editor.runBlockCommand(BlockCommand::InterpolateRows));
    for (const auto &[address, raw] : {std::pair{0x5000, 0}, std::pair{0x5001, 10}, std::pair{0x5002, 20},
                                       std::pair{0x5003, 30}, std::pair{0x5004, 9}})
        EXPECT_EQ(rig.byte(address), raw) << std::hex << address;
}
