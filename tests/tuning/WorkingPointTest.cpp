#include "tuning/WorkingPoint.h"
#include "firmware/FirmwareImage.h"
#include "tuning/GridAxes.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// Position tables that rise one sixteenth per entry, so entry x is position x;
// pressure breakpoints 100 apart from 200 (tenths of a kPa).
GridAxes linearAxes() {
    GridAxes axes;
    for (int x = 0; x < 256; ++x) {
        axes.speedTable[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x);
        axes.throttleTable[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x);
    }
    axes.rpmStep = 40;
    for (int i = 0; i < GridAxes::kPoints; ++i)
        axes.pressure[static_cast<std::size_t>(i)] = 200 + i * 100;
    return axes;
}

} // namespace

TEST(WorkingPoint, WeightsAtTheCornersAndBetween) {
    struct Case {
        int g, b;
        double k11, k12, k21, k22;
    } cases[] = {
        {0, 0, 1, 0, 0, 0},
        {0, 8, 0.5, 0.5, 0, 0},
        {8, 0, 0.5, 0, 0.5, 0},
        {8, 8, 0.25, 0.25, 0.25, 0.25},
        {4, 12, 0.1875, 0.5625, 0.0625, 0.1875},
        {15, 15, 1.0 / 256, 15.0 / 256, 15.0 / 256, 225.0 / 256},
    };
    for (const Case &c : cases) {
        const auto k = interpolationWeights(c.g, c.b);
        EXPECT_DOUBLE_EQ(k[0], c.k11) << c.g << "," << c.b;
        EXPECT_DOUBLE_EQ(k[1], c.k12) << c.g << "," << c.b;
        EXPECT_DOUBLE_EQ(k[2], c.k21) << c.g << "," << c.b;
        EXPECT_DOUBLE_EQ(k[3], c.k22) << c.g << "," << c.b;
    }
    for (int g = 0; g < 16; ++g)
        for (int b = 0; b < 16; ++b) {
            const auto k = interpolationWeights(g, b);
            EXPECT_DOUBLE_EQ(k[0] + k[1] + k[2] + k[3], 1.0);
        }
}

TEST(WorkingPoint, SpeedAndThrottleComeFromTheEcuPositionTables) {
    const GridAxes axes = linearAxes();
    WorkingPointModel model;
    struct Case {
        double rpm, throttle;
        int row, col, loadFraction, speedFraction;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},        {1200, 37, 2, 1, 5, 14},      // 1200 / 40 = 30 = 1 * 16 + 14
        {1239, 37.9, 2, 1, 5, 14},                               // between multiples: the lower one
        {1240, 38, 2, 1, 6, 15},   {20000, 400, 15, 15, 15, 15}, // beyond the tables: their last entry
    };
    for (const Case &c : cases) {
        const WorkingPoint wp = model.compute(axes, {c.rpm, c.throttle, 0}, false);
        EXPECT_EQ(wp.row, c.row) << c.rpm << " " << c.throttle;
        EXPECT_EQ(wp.col, c.col) << c.rpm;
        EXPECT_EQ(wp.loadFraction, c.loadFraction) << c.throttle;
        EXPECT_EQ(wp.speedFraction, c.speedFraction) << c.rpm;
        EXPECT_EQ(wp.index(), c.row * 16 + c.col);
    }
    const WorkingPoint exact = model.compute(axes, {16 * 40 * 3, 16 * 2, 0}, false);
    EXPECT_EQ(exact.k11, 1.0) << "on a working point the cell takes the whole weight";
}

TEST(WorkingPoint, PressureIntervalsAreLowerExclusiveUpperInclusive) {
    const GridAxes axes = linearAxes(); // bp[k] = 200 + 100 k
    struct Case {
        double pressure;
        int row, fraction;
    } cases[] = {
        {500, 2, 15},                   // on bp[3]: still the interval below
        {501, 3, 0},                    // just above bp[3]
        {550, 3, 7},                    // trunc(50 * 15 / 100)
        {1799, 15, 14}, {1800, 15, 15}, // bp[16] closes the last interval
        {150, 0, 0},                    // at or below the first breakpoint: row 0
    };
    for (const Case &c : cases) {
        WorkingPointModel model;
        const WorkingPoint wp = model.compute(axes, {0, 0, c.pressure}, true);
        EXPECT_EQ(wp.row, c.row) << c.pressure;
        EXPECT_EQ(wp.loadFraction, c.fraction) << c.pressure;
    }
}

TEST(WorkingPoint, PressureOutsideEveryIntervalKeepsThePreviousRow) {
    const GridAxes axes = linearAxes();
    WorkingPointModel model;
    model.compute(axes, {0, 0, 550}, true);
    for (double outside : {0.0, -5.0, 1801.0, 5000.0}) {
        const WorkingPoint wp = model.compute(axes, {0, 0, outside}, true);
        EXPECT_EQ(wp.row, 3) << outside;
        EXPECT_EQ(wp.loadFraction, 7) << outside;
    }
    // Tuning by throttle ignores the pressure row altogether.
    EXPECT_EQ(model.compute(axes, {0, 20, 550}, false).row, 1);
}

TEST(WorkingPoint, TheEcuInterpolatesTheCorrectionOverTheFourCorners) {
    FirmwareImage image;
    constexpr int kTable = 0x4000;
    const int q = 3 * 16 + 5;
    image.setByte(kTable + q, 128);      // 1.0
    image.setByte(kTable + q + 1, 192);  // 1.5
    image.setByte(kTable + q + 16, 64);  // 0.5
    image.setByte(kTable + q + 17, 160); // 1.25
    WorkingPoint wp{3, 5, 4, 8};
    const auto k = interpolationWeights(4, 8);
    wp.k11 = k[0];
    wp.k12 = k[1];
    wp.k21 = k[2];
    wp.k22 = k[3];
    const InterpolatedCorrection c = interpolatedCorrection(wp, image, kTable);
    EXPECT_EQ(c.corners, (std::array<double, 4>{1.0, 1.5, 0.5, 1.25}));
    EXPECT_DOUBLE_EQ(c.weightSum, 1.0);
    EXPECT_DOUBLE_EQ(c.correction, 0.375 * 1.0 + 0.375 * 1.5 + 0.125 * 0.5 + 0.125 * 1.25);
}
