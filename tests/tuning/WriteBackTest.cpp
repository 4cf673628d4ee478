#include "tuning/WriteBack.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareStore.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/PhaseTuning.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningSettings.h"

#include <gtest/gtest.h>

using namespace korvel;

// Each cycle-filling table on its own scale both ways: a byte of the table by
// throttle holds 3/8 of the filling, one of the table by pressure 3/16; a
// written cell shows in the values of the table it was written to.
TEST(WriteBack, GbcTableTakesOverOnlyNewFillingsOnItsOwnScale) {
    struct Case {
        int column;
        float unchanged, first, second;
        int unchangedByte, firstByte, secondByte;
    } cases[] = {
        {tuningcolumn::GbcThr, 200, 100, 300, 75, 38, 112}, // 37.5 and 112.5 halve to even
        {tuningcolumn::GbcKpa, 400, 320, 100, 75, 60, 19},  // 320 is 60 on its scale, not 120
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.column);
        TuningGrid grid;
        for (TuningCell &cell : grid.cells)
            cell.gbcWritten = cell.gbcNew = c.unchanged;
        GatheredTable none = gatherGbc(grid, c.column);
        EXPECT_EQ(none.taken, 0);
        EXPECT_EQ(none.bytes, QByteArray(256, char(c.unchangedByte)));

        grid.at(3, 4).gbcNew = c.first;
        grid.at(9, 1).gbcNew = c.second;
        const GatheredTable two = gatherGbc(grid, c.column);
        EXPECT_EQ(two.taken, 2);
        EXPECT_EQ(static_cast<std::uint8_t>(two.bytes[3 * 16 + 4]), c.firstByte);
        EXPECT_EQ(static_cast<std::uint8_t>(two.bytes[9 * 16 + 1]), c.secondByte);
        EXPECT_EQ(grid.at(3, 4).gbcChanged, 1);
        EXPECT_FLOAT_EQ(grid.at(3, 4).gbcWritten, c.first);
        const bool byPressure = c.column == tuningcolumn::GbcKpa;
        EXPECT_FLOAT_EQ(byPressure ? grid.at(3, 4).gbcKpa : grid.at(3, 4).gbcThr, c.first);
        EXPECT_FLOAT_EQ(byPressure ? grid.at(3, 4).gbcThr : grid.at(3, 4).gbcKpa, 0)
            << "the other table is not written";
        EXPECT_EQ(gatherGbc(grid, c.column).taken, 0);
    }
}

TEST(WriteBack, LearnedCorrectionsAreTakenOver) {
    TuningGrid grid;
    for (TuningCell &c : grid.cells)
        c.corrCurrent = c.learned = 1.0f;
    grid.at(2, 2).learned = 1.1f;
    grid.at(2, 2).sampleCount = 4;
    const GatheredTable t = gatherLearned(grid, false);
    EXPECT_EQ(t.taken, 1);
    EXPECT_FLOAT_EQ(grid.at(2, 2).corrCurrent, 1.1f);
    EXPECT_FLOAT_EQ(grid.at(2, 2).corrThr, 1.1f);
    EXPECT_EQ(grid.at(2, 2).sampleCount, 0);
    EXPECT_EQ(grid.at(2, 2).applied, 1);
    EXPECT_EQ(static_cast<std::uint8_t>(t.bytes[2 * 16 + 2]), 141);
    EXPECT_EQ(static_cast<std::uint8_t>(t.bytes[0]), 128);
}

TEST(WriteBack, EditorTableInWholeBlocks) {
    FirmwareImage image;
    struct Case {
        int size, blocks, lastCount;
    } cases[] = {{100, 2, 36}, {64, 1, 64}, {256, 4, 64}, {1, 1, 1}};
    for (const Case &c : cases) {
        const WholeBlocksWrite w = blockWrite(image, 0x5000, c.size);
        EXPECT_EQ(w.blocks, c.blocks) << c.size;
        EXPECT_EQ(w.lastCount, c.lastCount) << c.size;
        EXPECT_EQ(w.bytes.size(), c.blocks * 64) << c.size;
    }
}

TEST(WriteBack, PartLoadIgnitionLiesOnALineOverTheFilling) {
    constexpr std::int64_t kIgn = 0x3000, kGbc = 0x3200;
    FirmwareImage image;
    for (int col = 0; col < 16; ++col)
        for (int row = 0; row < 16; ++row) {
            image.setByte(kIgn + row * 16 + col, static_cast<std::uint8_t>(60 - row)); // 30 .. 22.5 degrees
            // Column 0 has the same filling in rows 0 and 15.
            image.setByte(kGbc + row * 16 + col, static_cast<std::uint8_t>(col == 0 ? 30 : 30 + row * 6));
        }
    image.setByte(kGbc + 5 * 16 + 7, 30 + 3 * 6); // row 5 of column 7 fills like row 3
    FirmwareStore store;
    store.loadImage(image);
    TuningGrid grid;
    reworkPartLoadIgnition(grid, store, kIgn, kGbc);

    EXPECT_FLOAT_EQ(grid.at(5, 0).ignPartLoad, 27.5f) << "a column with equal end fillings keeps its values";
    EXPECT_FLOAT_EQ(grid.at(0, 7).ignPartLoad, 30.0f);
    EXPECT_FLOAT_EQ(grid.at(15, 7).ignPartLoad, 22.5f);
    EXPECT_NEAR(grid.at(5, 7).ignPartLoad, 30 - 3.0 / 15 * 7.5, 1e-5);
    EXPECT_EQ(store.image().byteAt(kPartLoadIgnitionTable + 5 * 16 + 7), 57) << "Round(28.5 * 2)";
    EXPECT_EQ(store.image().byteAt(kPartLoadIgnitionTable + 5 * 16 + 0), 55);
}

TEST(PhaseTuning, TargetsForBothMethods) {
    struct Case {
        double rpm, pulse;
        int close, open;
        bool openValve;
        int expected;
    } cases[] = {
        {3000, 4.0, 40, 20, true, 442},  // D = 9, F = 36, H = 240: Round(40 - 120 - 18) + 540
        {3000, 4.0, 40, 20, false, 304}, // Round(360 - 20 - 36)
        {6000, 20.0, 40, 20, true, 220}, // F = 360 > H: Round(40 - 360) + 540
        {3100, 4.0, 40, 20, true, 442},  // D = Round(9.3) = 9
    };
    for (const Case &c : cases) {
        TuningSettings s;
        s.intakeClose = c.close;
        s.intakeOpen = c.open;
        s.phaseOpenValve = c.openValve;
        EXPECT_EQ(phaseTarget(c.rpm, c.pulse, s), c.expected) << c.rpm << " " << c.pulse;
    }
    EXPECT_EQ(phaseByte(442), 74);
    EXPECT_EQ(phaseByte(-98), static_cast<std::uint8_t>(-16));
    EXPECT_DOUBLE_EQ(phaseOfByte(static_cast<std::uint8_t>(-16)), -96);
}
