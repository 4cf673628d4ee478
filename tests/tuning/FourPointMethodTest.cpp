#include "tuning/FourPointMethod.h"
#include "RecordingWrites.h"
#include "firmware/FirmwareStore.h"
#include "live/TuningTrace.h"
#include "tuning/Accumulator.h"
#include "tuning/CellLocks.h"
#include "tuning/CorrectionAuthority.h"
#include "tuning/TuningGrid.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

constexpr std::int64_t kFourPointTable = 0x2000;

struct FourPointFixture : ::testing::Test {
    FourPointMethod method;
    TuningGrid grid;
    FirmwareStore store;
    test::RecordingWrites writes;
    TuningCounters counters;
    TuningTrace trace;

    FourPointFixture() {
        FirmwareImage image;
        image.setBytes(kFourPointTable, QByteArray(256 + 32, char(128)));
        store.loadImage(image);
        method.startConnection({3, 100, 2, 0.5, 1.95});
    }

    static WorkingPoint point(int row, int col, int g, int b) {
        WorkingPoint wp{row, col, g, b};
        const auto k = interpolationWeights(g, b);
        wp.k11 = k[0];
        wp.k12 = k[1];
        wp.k21 = k[2];
        wp.k22 = k[3];
        return wp;
    }
    bool tick(const WorkingPoint &wp, double coefficient) {
        return method.tick({wp, 2000, 20, coefficient, true}, grid, store, kFourPointTable, &writes, counters, trace);
    }
    void ticks(const WorkingPoint &wp, double coefficient, int n) {
        for (int i = 0; i < n; ++i)
            tick(wp, coefficient);
    }
    int byte(int point) const { return store.image().byteAt(kFourPointTable + point).value_or(-1); }
};

} // namespace

TEST_F(FourPointFixture, SharesFollowTheWeightsFromTheSeventhSteadyTick) {
    const WorkingPoint exact = point(2, 3, 0, 0);
    ticks(exact, 1.1, 6);
    EXPECT_EQ(method.shareCount(exact.index()), 0) << "six ticks on the point only make it steady";
    tick(exact, 1.1);
    ASSERT_EQ(method.shareCount(exact.index()), 1);
    EXPECT_NEAR(method.share(exact.index(), 1), 1.1, 1e-12) << "w * e + 1 with the whole weight";
    for (int corner : {exact.index() + 1, exact.index() + 16, exact.index() + 17}) {
        ASSERT_EQ(method.shareCount(corner), 1);
        EXPECT_DOUBLE_EQ(method.share(corner, 1), 1.0);
    }
    EXPECT_EQ(counters.samplesStored, 1);

    FourPointMethod between;
    between.startConnection({3, 50, 2, 0.5, 1.95});
    const WorkingPoint half = point(5, 6, 8, 4);
    for (int i = 0; i < 7; ++i)
        between.tick({half, 2000, 20, 0.8, true}, grid, store, kFourPointTable, &writes, counters, trace);
    EXPECT_NEAR(between.share(half.index(), 1), 0.5 * (8.0 * 12 / 256) * -0.2 + 1, 1e-12);
    EXPECT_NEAR(between.share(half.index() + 1, 1), 0.5 * (4.0 * 8 / 256) * -0.2 + 1, 1e-12);
    EXPECT_NEAR(between.share(half.index() + 16, 1), 0.5 * (8.0 * 12 / 256) * -0.2 + 1, 1e-12);
    EXPECT_NEAR(between.share(half.index() + 17, 1), 0.5 * (4.0 * 8 / 256) * -0.2 + 1, 1e-12);
}

TEST_F(FourPointFixture, NothingIsCollectedStoppedBelowTheThrottleOrWithTuningOff) {
    const WorkingPoint wp = point(2, 3, 0, 0);
    struct Case {
        double rpm, throttle;
        bool on;
    } cases[] = {{0, 20, true}, {2000, 1, true}, {2000, 20, false}};
    for (const Case &c : cases) {
        FourPointMethod m;
        m.startConnection({3, 100, 2, 0.5, 1.95});
        for (int i = 0; i < 20; ++i)
            m.tick({wp, c.rpm, c.throttle, 1.1, c.on}, grid, store, kFourPointTable, &writes, counters, trace);
        EXPECT_EQ(m.shareCount(wp.index()), 0) << c.rpm << " " << c.throttle << " " << c.on;
    }
}

TEST_F(FourPointFixture, APointIsEvaluatedAfterStatCyclesPlusFiveShares) {
    const WorkingPoint wp = point(2, 3, 0, 0);
    ticks(wp, 1.05, 6 + 7);
    EXPECT_EQ(method.shareCount(wp.index()), 7);
    EXPECT_EQ(byte(wp.index()), 128);
    tick(wp, 1.05);
    EXPECT_EQ(method.shareCount(wp.index()), 0);
    EXPECT_EQ(byte(wp.index()), 134) << "Round(1.05 * 128)";
    EXPECT_DOUBLE_EQ(trace.oldCorrection, 1.0);
    EXPECT_EQ(method.changed(), 1) << "the other corners had shares of 1.0 and stay";
    EXPECT_EQ(byte(wp.index() + 1), 128);
    EXPECT_TRUE(writes.writes.isEmpty());
}

TEST_F(FourPointFixture, CapsAndSettingLimits) {
    struct Case {
        int tableByte;
        double coefficient, corrMin, corrMax;
        int expected;
        int changed; // Round(new * 128) differs from the byte, whatever the limits make of it
    } cases[] = {
        {250, 1.1, 0.5, 1.99, 255, 1}, // 1.99 at most: Round(254.72)
        {250, 1.1, 0.5, 1.95, 250, 1}, // then "Максимальная поправка"
        {80, 0.5, 0.5, 1.95, 64, 1},   // "Минимальная поправка"
        {128, 1.0, 0.5, 1.95, 128, 0}, // nothing to change
    };
    for (const Case &c : cases) {
        FourPointMethod m;
        m.startConnection({3, 100, 2, c.corrMin, c.corrMax});
        store.storeByte(kFourPointTable, static_cast<std::uint8_t>(c.tableByte));
        for (int i = 0; i < 14; ++i)
            m.tick({point(0, 0, 0, 0), 2000, 20, c.coefficient, true}, grid, store, kFourPointTable, &writes, counters,
                   trace);
        EXPECT_EQ(byte(0), c.expected) << c.tableByte << " x " << c.coefficient;
        EXPECT_EQ(m.changed(), c.changed) << c.tableByte << " x " << c.coefficient;
    }
}

// Every changed point is sent, not only those within 18 bytes of the current
// one: three points far apart go out as the whole table.
TEST_F(FourPointFixture, TheThirdChangedPointSendsEveryChangedPoint) {
    // Half way between columns: the point and the next column both change.
    const WorkingPoint wp = point(4, 14, 0, 8);
    ticks(wp, 1.2, 6 + 8);
    EXPECT_EQ(method.changed(), 2);
    EXPECT_TRUE(writes.writes.isEmpty()) << "two changed points are not yet written";

    const WorkingPoint other = point(7, 2, 0, 0);
    ticks(other, 0.9, 6 + 8);
    ASSERT_EQ(writes.writes.size(), 1);
    const auto &w = writes.writes[0];
    EXPECT_EQ(w.command, "remakepopr");
    EXPECT_EQ(w.address, kFourPointTable);
    EXPECT_EQ(w.bytes, store.image().slice(kFourPointTable, 256));
    EXPECT_EQ(static_cast<std::uint8_t>(w.bytes[other.index()]), 115) << "Round(0.9 * 128)";
    EXPECT_NE(static_cast<std::uint8_t>(w.bytes[wp.index()]), 128) << "the first changed points go along";
    EXPECT_TRUE(method.owed().empty());
    EXPECT_EQ(method.changed(), 0);
    EXPECT_EQ(counters.evaluations, 1);
    for (int corner : {0, 1, 16, 17})
        EXPECT_EQ(grid.cells[static_cast<std::size_t>(other.index() + corner)].applied, 1);
    EXPECT_EQ(method.cornerText(), "ОК1");
}

TEST_F(FourPointFixture, TheLastColumnAndRowHaveNoFurtherCorners) {
    const WorkingPoint corner = point(15, 15, 8, 8);
    ticks(corner, 1.1, 7);
    EXPECT_EQ(method.shareCount(255), 1);
    int others = 0;
    for (int p = 0; p < 255; ++p)
        others += method.shareCount(p);
    EXPECT_EQ(others, 0) << "no wrap-around";
}

TEST_F(FourPointFixture, ABusyWorkerGetsNothingButTheCountStartsAgain) {
    writes.isBusy = true;
    const WorkingPoint wp = point(4, 14, 8, 8);
    ticks(wp, 1.2, 6 + 8);
    EXPECT_TRUE(writes.writes.isEmpty());
    EXPECT_EQ(method.changed(), 0);
    EXPECT_EQ(byte(wp.index() + 17), 134) << "the image keeps the values: Round(1.05 * 128)";

    // They stay owed and go out at the first free hand-over.
    EXPECT_EQ(method.owed().count(), 4);
    writes.isBusy = false;
    tick(wp, 1.2);
    ASSERT_EQ(writes.writes.size(), 1);
    EXPECT_EQ(writes.writes[0].command, "remake_four_points");
    EXPECT_EQ(writes.writes[0].address, kFourPointTable + wp.index());
    EXPECT_EQ(writes.writes[0].bytes, store.image().slice(kFourPointTable + wp.index(), 18));
    EXPECT_TRUE(method.owed().empty());
}

// The cells follow the bytes the method writes: the correction being tuned,
// the learned value and the shown correction of the table's load axis.
TEST_F(FourPointFixture, TheCellsFollowTheWrittenBytes) {
    for (const bool byPressure : {false, true}) {
        TuningGrid cells;
        FourPointMethod m;
        m.startConnection({3, 100, 2, 0.5, 1.95});
        const WorkingPoint wp = point(2, 3, 0, 0);
        for (int i = 0; i < 14; ++i)
            m.tick({wp, 2000, 20, 1.05, true, byPressure}, cells, store, kFourPointTable, &writes, counters, trace);
        const TuningCell &c = cells.cells[static_cast<std::size_t>(wp.index())];
        const float expected = byte(wp.index()) / 128.0f;
        EXPECT_FLOAT_EQ(c.corrCurrent, expected) << byPressure;
        EXPECT_FLOAT_EQ(c.learned, expected) << byPressure;
        EXPECT_FLOAT_EQ(byPressure ? c.corrKpa : c.corrThr, expected) << byPressure;
        store.storeByte(kFourPointTable + wp.index(), 128);
    }
}

TEST_F(FourPointFixture, ALockedPointTakesNoSharesAndTheAuthorityLimitsTheOthers) {
    CellLocks locks;
    CorrectionAuthority authority;
    for (TuningCell &c : grid.cells)
        c.corrCurrent = 1.0f;
    authority.start(grid, {0.05, 0.25, 0.5, 1.95});
    method.setLocks(&locks);
    method.setAuthority(&authority);
    const WorkingPoint wp = point(2, 3, 8, 8); // midway: every corner a quarter
    locks.setLocked(wp.index() + 1, true);
    ticks(wp, 1.4, 6 + 8);
    EXPECT_EQ(method.shareCount(wp.index() + 1), 0);
    EXPECT_EQ(byte(wp.index() + 1), 128) << "locked";
    // Each other corner's mean is 1 + 0.25 × 0.4 = 1.1: one step of 5 points.
    for (int corner : {wp.index(), wp.index() + 16, wp.index() + 17})
        EXPECT_EQ(byte(corner), 134) << corner;
}
