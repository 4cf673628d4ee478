#include "tuning/WriteBack.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareStore.h"
#include "tuning/PhaseTuning.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningSettings.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(WriteBack, GbcTableTakesOverOnlyNewFillings) {
    TuningGrid grid;
    for (TuningCell &c : grid.cells)
        c.gbcWritten = c.gbcNew = 200;
    GatheredTable none = gatherGbc(grid, false);
    EXPECT_EQ(none.taken, 0);
    EXPECT_EQ(none.bytes, QByteArray(256, char(75)));

    grid.at(3, 4).gbcNew = 100;
    grid.at(9, 1).gbcNew = 300;
    const GatheredTable two = gatherGbc(grid, true);
    EXPECT_EQ(two.taken, 2);
    EXPECT_EQ(static_cast<std::uint8_t>(two.bytes[3 * 16 + 4]), 38) << "37.5 halves to even";
    EXPECT_EQ(static_cast<std::uint8_t>(two.bytes[9 * 16 + 1]), 112) << "112.5 halves to even";
    EXPECT_EQ(grid.at(3, 4).gbcChanged, 1);
    EXPECT_FLOAT_EQ(grid.at(3, 4).gbcWritten, 100);
    EXPECT_FLOAT_EQ(grid.at(3, 4).gbcKpa, 100) << "tuning by pressure shows it by pressure";
    EXPECT_FLOAT_EQ(grid.at(3, 4).gbcThr, 0);
    EXPECT_EQ(gatherGbc(grid, true).taken, 0);
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
        const BlockWrite w = blockWrite(image, 0x5000, c.size);
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

TEST(WriteBack, OnlyVrkKeepsASecondGbcCopy) {
    EXPECT_FALSE(keepsSecondGbcCopy(0));
    EXPECT_FALSE(keepsSecondGbcCopy(1));
    EXPECT_TRUE(keepsSecondGbcCopy(2));
    EXPECT_FALSE(keepsSecondGbcCopy(3));
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
