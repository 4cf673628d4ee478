#include "editor/TableEdits.h"
#include "editor/TableWriteScheduler.h"

#include "EditorFixture.h"

#include <QSignalSpy>

using namespace korvel;
using test::EditorRig;

namespace {

CellTexts row(std::initializer_list<const char *> texts) {
    std::vector<QString> r;
    for (const char *t : texts)
        r.emplace_back(QString::fromUtf8(t));
    return {r};
}

// A worker that takes table writes, or stays busy for a number of ticks.
struct FakeLink : TableWriteLink {
    bool isConnected = true;
    int busyTicks = 0;
    std::vector<TableBlockWrite> writes;
    bool connected() const override { return isConnected; }
    bool busy() const override { return busyTicks > 0; }
    void correct23DF(const TableBlockWrite &write) override { writes.push_back(write); }
};

} // namespace

TEST(TableEditing, DraggedPointSnapsToTheStepAndOneReleaseIsOneUndoStep) {
    EditorRig rig;
    rig.poke(0x5000, {4, 6, 8});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 3\nd4 0.5\n"));
    EXPECT_EQ(rig.cell(2, 1), "3");

    rig.editor.dragPoint(1, 1, 10.3);
    EXPECT_EQ(rig.cell(2, 1), "10.5") << "10.3 / 0.5 = 20.6 rounds to 21";
    EXPECT_EQ(rig.byte(0x5001), 6) << "nothing is written while dragging";

    rig.editor.chartReleased(false, 1, 10.5, 100, 50);
    EXPECT_EQ(rig.byte(0x5001), 21);
    EXPECT_EQ(rig.store.undoCount(), 1) << "one copy for the whole table, none per cell";
    EXPECT_EQ(rig.cell(2, 1), "10.5");

    ASSERT_TRUE(rig.editor.undoStep());
    EXPECT_EQ(rig.byte(0x5001), 6);
    EXPECT_EQ(rig.cell(2, 1), "3");
}

TEST(TableEditing, DragTargetsTheRowTheLineShows) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2, 3, 4, 5, 6});
    const QString map = "address 5000\ncells 2\nrows 3\n";
    DisplayOptions options;
    options.depth = true;
    rig.editor.setOptions(options);
    ASSERT_TRUE(rig.open(2, map));
    rig.editor.dragPoint(1, 0, 50); // in depth Series1 shows row M
    EXPECT_EQ(rig.cell(1, 3), "50");

    options.depth = false;
    options.flatRow = 1; // flat: line 2 shows row 2
    rig.editor.setOptions(options);
    rig.editor.dragPoint(2, 1, 70);
    EXPECT_EQ(rig.cell(2, 2), "70");
    rig.editor.chartReleased(false, 0, 0, 0, 0);
    EXPECT_EQ(rig.byte(0x5003), 70);
    EXPECT_EQ(rig.byte(0x5004), 5) << "the drag in depth was dropped by the redisplay";
}

TEST(TableEditing, SixteenBitMapWritesEveryCellAtItsAddress) {
    EditorRig rig;
    ASSERT_TRUE(rig.open(2, "address 6000\ncells 16\nrows 16\ncelltype 2\n"));
    CellTexts cells = rig.editor.view().cells;
    for (int j = 1; j <= 16; ++j)
        for (int i = 1; i <= 16; ++i)
            cells[j - 1][i - 1] = QString::number(1000 + 16 * (j - 1) + (i - 1));
    ASSERT_TRUE(writeBackGrid(cells, rig.editor.view().cells, rig.editor.view().table, rig.store, &rig.log).ok());
    EXPECT_EQ(rig.store.undoCount(), 1);
    for (int j = 1; j <= 16; ++j)
        for (int i = 1; i <= 16; ++i) {
            const int address = 0x6000 + 2 * ((j - 1) * 16 + (i - 1));
            EXPECT_EQ(rig.store.image().wordAt(address), 1000 + 16 * (j - 1) + (i - 1)) << i << "," << j;
        }
    EXPECT_EQ(rig.byte(0x6200), 0) << "nothing past the table";
}

TEST(TableEditing, ChartSelectionTakesThePointsBetweenItsCorners) {
    PointSelection s;
    s.chartRelease(true, 2.4, 5, 240, 80);
    EXPECT_TRUE(s.pending());
    EXPECT_EQ(s.label(), "Точка1=3");
    s.chartRelease(true, 7.6, 9, 760, 40);
    EXPECT_TRUE(s.active());
    EXPECT_FALSE(s.pending());
    EXPECT_EQ(s.label(), "Точка1=3/Точка2=7// выбрано =5");
    EXPECT_EQ(s.py1(), 40) << "vertical corners are put in order";

    // Corners taken right to left give the same range.
    PointSelection back;
    back.chartRelease(true, 7.6, 5, 760, 40);
    back.chartRelease(true, 2.4, 9, 240, 80);
    EXPECT_EQ(back.label(), "Точка1=3/Точка2=7// выбрано =5");

    // A release without Shift alone takes no corner.
    PointSelection none;
    none.chartRelease(false, 2.4, 5, 240, 80);
    EXPECT_FALSE(none.pending() || none.active());

    EditorRig rig;
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 10\n"));
    std::vector<CellPos> expected;
    for (int c = 4; c <= 8; ++c)
        expected.push_back({c, 1});
    EXPECT_EQ(chosenCells(s, rig.editor.view()), expected);
}

TEST(TableEditing, RangeCommandsOnTheChosenCells) {
    struct Case {
        const char *what;
        RangeCommand command;
        std::vector<CellPos> chosen;
        const char *step;
        CellTexts expected;
    };
    const Case cases[] = {
        {"smooth in place, left to right",
         RangeCommand::Smooth,
         {{2, 1}, {3, 1}},
         "1",
         row({"0", "1", "1.33333333333333", "3"})},
        {"ends have no two neighbours", RangeCommand::Smooth, {{1, 1}, {4, 1}}, "1", row({"0", "3", "0", "3"})},
        {"lower", RangeCommand::Lower, {{1, 1}, {2, 1}}, "0.5", row({"-0.5", "2.5", "0", "3"})},
        {"raise", RangeCommand::Raise, {{4, 1}}, "2", row({"0", "3", "0", "5"})},
        {"accept", RangeCommand::Accept, {{2, 1}, {3, 1}}, "7", row({"0", "7", "7", "3"})},
    };
    for (const Case &c : cases) {
        CellTexts cells = row({"0", "3", "0", "3"});
        ASSERT_TRUE(applyRangeCommand(cells, c.command, c.chosen, c.step).ok()) << c.what;
        EXPECT_EQ(cells, c.expected) << c.what;
    }
    CellTexts same = row({"2", "2", "2"});
    ASSERT_TRUE(applyRangeCommand(same, RangeCommand::Smooth, {{2, 1}}, "").ok());
    EXPECT_EQ(same, row({"2", "2", "2"}));
    CellTexts cells = row({"1"});
    EXPECT_FALSE(applyRangeCommand(cells, RangeCommand::Raise, {{1, 1}}, "abc").ok());
}

TEST(TableEditing, RaisingAGridBlockPastTheMaximumStopsAtTheMaximum) {
    EditorRig rig;
    rig.poke(0x5000, {10, 20, 30, 40});
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 2\nrows 2\nmax 35\n"));
    rig.editor.gridReleased(false, 1, 1, 1, 1, 10, 10);
    rig.editor.gridReleased(true, 1, 1, 2, 2, 60, 30);
    ASSERT_TRUE(rig.editor.selection().active());
    rig.editor.setChangeText("10");
    ASSERT_TRUE(rig.editor.runRangeCommand(RangeCommand::Raise));
    EXPECT_EQ(rig.byte(0x5000), 20);
    EXPECT_EQ(rig.byte(0x5001), 30);
    EXPECT_EQ(rig.byte(0x5002), 35);
    EXPECT_EQ(rig.byte(0x5003), 35);
    EXPECT_EQ(rig.store.undoCount(), 1);
    EXPECT_TRUE(rig.editor.selection().active()) << "the selection stays for the next command";

    // A step that is not a number writes nothing.
    rig.editor.setChangeText("x");
    EXPECT_FALSE(rig.editor.runRangeCommand(RangeCommand::Accept));
    EXPECT_EQ(rig.byte(0x5000), 20);
    EXPECT_EQ(rig.store.undoCount(), 1);
    EXPECT_EQ(rig.cell(1, 1), "20");
}

TEST(TableEditing, CornersFromChartAndGridMixedStayInsideTheTable) {
    EditorRig rig;
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 4\nrows 4\n"));
    PointSelection s;
    s.chartRelease(true, -1e300, 1e300, 0, 0); // a first corner far off the chart
    s.gridRelease(true, 1, 1, 2, 2, 10, 10);
    // A chart corner is an axis value, not a cell: the grid's own block is the range.
    EXPECT_EQ(chosenCells(s, rig.editor.view()), (std::vector<CellPos>{{1, 1}, {2, 1}, {1, 2}, {2, 2}}));
}

TEST(TableEditing, ImportedCellsAreOneEdit) {
    EditorRig rig;
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 3\nmax 100\n"));
    ASSERT_TRUE(rig.editor.applyCells(row({"7", "250", "9"})));
    EXPECT_EQ(rig.byte(0x5000), 7);
    EXPECT_EQ(rig.byte(0x5001), 100) << "limited like every edit";
    EXPECT_EQ(rig.byte(0x5002), 9);
    EXPECT_EQ(rig.store.undoCount(), 1);
    EXPECT_FALSE(rig.editor.applyCells(row({"1", "2"}))) << "a table of another shape";
}

// Ctrl+C / Ctrl+V on the grid: the block comes back where it is pasted,
// whatever falls off the grid's edge is dropped, and the paste is one edit.
TEST(TableEditing, CopiedBlockPastedElsewhereIsOneEditClippedAtTheEdge) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 3\nrows 3\nmax 100\n"));
    const QString copied = rig.editor.copyBlock(2, 1, 1, 2); // corners in either order
    EXPECT_EQ(copied, "1\t2\n4\t5\n");

    ASSERT_TRUE(rig.editor.pasteBlock(2, 2, copied));
    const std::vector<int> expected{1, 2, 3, 4, 1, 2, 7, 4, 5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(rig.byte(0x5000 + i), expected[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(rig.store.undoCount(), 1);
    ASSERT_TRUE(rig.editor.undoStep());
    EXPECT_EQ(rig.byte(0x5004), 5);
    EXPECT_EQ(rig.byte(0x5008), 9);

    // Text from a spreadsheet: CRLF lines, limited like every edit; only the corner cell fits.
    ASSERT_TRUE(rig.editor.pasteBlock(3, 3, "250\t1\r\n7\t7\r\n"));
    EXPECT_EQ(rig.byte(0x5008), 100);
    EXPECT_EQ(rig.byte(0x5007), 8);

    const int undo = rig.store.undoCount();
    struct Refused {
        int column, row;
        const char *text;
    };
    for (const Refused &r : {Refused{1, 1, ""}, Refused{1, 1, "\n"}, Refused{4, 1, "5"}, Refused{1, 1, "5\tx"}}) {
        EXPECT_FALSE(rig.editor.pasteBlock(r.column, r.row, QString::fromUtf8(r.text))) << r.text;
        EXPECT_EQ(rig.byte(0x5000), 1) << r.text;
        EXPECT_EQ(rig.store.undoCount(), undo) << r.text;
    }
}

TEST(TableEditing, ReciprocalCellAtMinusD2KeepsItsRawValue) {
    EditorRig rig;
    rig.poke(0x5000, {50, 20});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 2\nd3 1000\nd2 -5\n"));
    EXPECT_EQ(rig.cell(1, 1), "25");                // 1000 / 50 + 5
    ASSERT_TRUE(rig.editor.setCellText(2, 1, "5")); // -D2: no raw value
    EXPECT_EQ(rig.byte(0x5001), 20);
    EXPECT_TRUE(rig.log.last().contains("5001"));
    ASSERT_TRUE(rig.editor.setCellText(1, 1, "105")); // 1000 / (105 - 5) = 10
    EXPECT_EQ(rig.byte(0x5000), 10);
}

TEST(TableEditing, SendingATableSchedulesItsBytesInWholeBlocks) {
    struct Case {
        int cellType;
        int size;
        int blocks;
    };
    for (const Case c : {Case{0, 256, 4}, Case{2, 512, 8}}) {
        EditorRig rig;
        FakeLink link;
        rig.editor.tableWriter().setLink(&link);
        ASSERT_TRUE(rig.open(2, QStringLiteral("address 1234ABCD\ncells 16\nrows 16\ncelltype %1\n").arg(c.cellType)));
        QSignalSpy sent(&rig.editor, &TableEditorController::tableSent);
        ASSERT_TRUE(rig.editor.sendToEcu());
        EXPECT_EQ(sent.size(), 1);
        EXPECT_TRUE(rig.editor.tableWriter().scheduled());
        rig.editor.tableWriter().tick();
        ASSERT_EQ(link.writes.size(), 1u);
        const TableBlockWrite &w = link.writes.front();
        EXPECT_EQ(w.address, 0xABCD) << "the low two bytes of the address";
        EXPECT_EQ(w.size, c.size);
        EXPECT_EQ(w.blockCount, c.blocks);
        EXPECT_EQ(w.lastBlockLength, 64);
        const std::vector<BlockWrite> blocks = w.blocks();
        ASSERT_EQ(blocks.size(), static_cast<std::size_t>(c.blocks));
        EXPECT_EQ(blocks[1].address, 0xABCD + 64);
        EXPECT_EQ(blocks.back().bytes.size(), 64);
    }
}

TEST(TableEditing, TableTimerSplitsTheLastBlockAndWaitsForABusyWorker) {
    FirmwareImage image;
    for (int i = 0; i < 128; ++i)
        image.setByte(0x7000 + i, static_cast<std::uint8_t>(i));
    const TableBlockWrite w = splitTableWrite(image, 0x7000, 100);
    EXPECT_EQ(w.blockCount, 2);
    EXPECT_EQ(w.lastBlockLength, 36);
    EXPECT_EQ(w.data.size(), 128) << "whole blocks: bytes after the table go too";
    EXPECT_EQ(w.blocks()[1].bytes.front(), 64);
    EXPECT_EQ(splitTableWrite(image, 0xFFC0, 100).data.size(), 64) << "clipped at the end of the image";

    TableWriteScheduler timer(image);
    FakeLink link;
    link.busyTicks = 1;
    timer.setLink(&link);
    QSignalSpy done(&timer, &TableWriteScheduler::tickDone);
    timer.schedule(0x7000, 100);
    timer.tick();
    EXPECT_TRUE(link.writes.empty());
    EXPECT_TRUE(timer.scheduled()) << "tries again while the worker is busy";
    link.busyTicks = 0;
    timer.tick();
    ASSERT_EQ(link.writes.size(), 1u);
    EXPECT_FALSE(timer.scheduled());
    EXPECT_EQ(done.size(), 2);

    link.isConnected = false;
    timer.schedule(0x7000, 100);
    timer.tick();
    EXPECT_EQ(link.writes.size(), 1u) << "a lost connection drops the request";
    EXPECT_FALSE(timer.scheduled());
}

// A map of ÷128 cells shows them rounded to two decimals (raw 130 is 1.02,
// 135 is 1.05). Reading those texts back would give 131 and 134: a click or
// an edit of one cell must leave the cells nobody touched as they are.
TEST(TableEditing, AnEditWritesOnlyTheCellsItChanged) {
    EditorRig rig;
    rig.poke(0x5000, {130, 135, 129, 150});
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 2\nrows 2\nd1 128\nd4 1\n"));
    ASSERT_EQ(rig.cell(1, 1), "1.02");
    ASSERT_EQ(rig.cell(2, 1), "1.05");

    rig.editor.chartReleased(false, 0, 0, 10, 10); // a click on the chart, nothing dragged
    EXPECT_EQ(rig.byte(0x5000), 130);
    EXPECT_EQ(rig.byte(0x5001), 135);
    EXPECT_EQ(rig.store.undoCount(), 0) << "a click that changes nothing is no undo step";

    ASSERT_TRUE(rig.editor.setCellText(1, 2, "1.5"));
    EXPECT_EQ(rig.byte(0x5002), 192);
    for (const auto &[address, raw] : {std::pair{0x5000, 130}, std::pair{0x5001, 135}, std::pair{0x5003, 150}})
        EXPECT_EQ(rig.byte(address), raw) << std::hex << address;
    EXPECT_EQ(rig.store.undoCount(), 1);

    // A range command writes its cells only; so does a drag of one point.
    rig.editor.gridReleased(false, 1, 1, 1, 1, 0, 0);
    rig.editor.gridReleased(true, 1, 1, 1, 1, 0, 0);
    rig.editor.setChangeText("0.5");
    ASSERT_TRUE(rig.editor.runRangeCommand(RangeCommand::Raise));
    EXPECT_EQ(rig.byte(0x5000), 195) << "1.02 + 0.5 = 1.52, raw 194.56";
    EXPECT_EQ(rig.byte(0x5001), 135);
    EXPECT_EQ(rig.byte(0x5003), 150);
}

// The undo history has six slots: clicks, Shift corners and edits that write
// the same raw values must not push real edits out of it.
TEST(TableEditing, OnlyAChangeIsAnUndoStep) {
    EditorRig rig;
    rig.poke(0x5000, {1, 2, 3, 4});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 4\n"));
    ASSERT_TRUE(rig.editor.setCellText(1, 1, "9"));
    ASSERT_EQ(rig.store.undoCount(), 1);
    for (int i = 0; i < 8; ++i) {
        rig.editor.chartReleased(i % 2 == 0, i, 1, 10 * i, 5); // clicks and Shift corners
        rig.editor.gridReleased(i % 2 == 1, 1, 1, 2, 1, 0, 0); // grid clicks and Shift-clicks
    }
    ASSERT_TRUE(rig.editor.setCellText(2, 1, "2.0")); // the value it holds
    ASSERT_TRUE(rig.editor.pasteBlock(3, 1, "3\t4"));
    EXPECT_EQ(rig.store.undoCount(), 1);
    ASSERT_TRUE(rig.editor.undoStep());
    EXPECT_EQ(rig.byte(0x5000), 1) << "the one real edit is still in the history";
}

// The grid reports a Shift-click's block with its own bounds: going up and to
// the left, the corner the mouse ended on is the block's top left.
TEST(TableEditing, AShiftClickUpAndLeftSelectsTheBlockBetweenTheCorners) {
    EditorRig rig;
    ASSERT_TRUE(rig.open(2, "address 5000\ncells 6\nrows 6\n"));
    struct Case {
        const char *what;
        int first[2];  // the plain click's cell
        int block[4];  // the block the grid reports on the Shift-click
        int chosen[4]; // left, top, right, bottom
        const char *label;
    };
    const Case cases[] = {
        {"down and right", {2, 2}, {2, 2, 5, 5}, {2, 2, 5, 5}, "Точка1=3/Точка2=5// выбрано =3"},
        {"up and left", {5, 5}, {2, 2, 5, 5}, {2, 2, 5, 5}, "Точка1=3/Точка2=5// выбрано =3"},
        {"up and right", {2, 5}, {2, 3, 4, 5}, {2, 3, 4, 5}, "Точка1=3/Точка2=4// выбрано =2"},
        {"only the clicked cell reported", {5, 4}, {3, 1, 3, 1}, {3, 1, 5, 4}, "Точка1=4/Точка2=5// выбрано =2"},
    };
    for (const Case &c : cases) {
        PointSelection s;
        s.gridRelease(false, c.first[0], c.first[1], c.first[0], c.first[1], 0, 0);
        s.gridRelease(true, c.block[0], c.block[1], c.block[2], c.block[3], 0, 0);
        std::vector<CellPos> expected;
        for (int j = c.chosen[1]; j <= c.chosen[3]; ++j)
            for (int i = c.chosen[0]; i <= c.chosen[2]; ++i)
                expected.push_back({i, j});
        EXPECT_EQ(chosenCells(s, rig.editor.view()), expected) << c.what;
        EXPECT_EQ(s.label(), QString::fromUtf8(c.label)) << c.what;
        EXPECT_TRUE(s.active()) << c.what;
    }
}

// A comma is the decimal separator wherever a number is typed: a grid cell,
// the step of the range commands, a paste.
TEST(TableEditing, ADecimalCommaIsADecimalSeparator) {
    EditorRig rig;
    rig.poke(0x5000, {10, 10, 10});
    ASSERT_TRUE(rig.open(1, "address 5000\ncells 3\nd1 1000\nd4 1\n"));
    ASSERT_TRUE(rig.editor.setCellText(1, 1, "0,125"));
    EXPECT_EQ(rig.byte(0x5000), 125);
    rig.editor.gridReleased(false, 2, 1, 2, 1, 0, 0);
    rig.editor.gridReleased(true, 2, 1, 2, 1, 0, 0);
    rig.editor.setChangeText("0,05");
    ASSERT_TRUE(rig.editor.runRangeCommand(RangeCommand::Raise));
    EXPECT_EQ(rig.byte(0x5001), 60);
    ASSERT_TRUE(rig.editor.pasteBlock(3, 1, "0,2"));
    EXPECT_EQ(rig.byte(0x5002), 200);

    const int undo = rig.store.undoCount();
    EXPECT_FALSE(rig.editor.setCellText(1, 1, "0,1.5")) << "a grouping mark is refused";
    EXPECT_EQ(rig.byte(0x5000), 125);
    EXPECT_EQ(rig.store.undoCount(), undo);
    EXPECT_EQ(rig.cell(1, 1), "0.125") << "the grid shows the image again";
}
