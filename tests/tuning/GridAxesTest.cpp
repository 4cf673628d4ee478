#include "tuning/GridAxes.h"
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

using Table = std::array<std::uint8_t, 256>;

// A position table rising by one sixteenth per entry from `start`, then
// holding at 240: position 16 n first occurs at x = start + 16 n.
Table ramp(int start) {
    Table t{};
    for (int x = 0; x < 256; ++x)
        t[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(std::clamp(x - start, 0, 240));
    return t;
}

FirmwareImage imageWith(std::initializer_list<std::pair<int, QByteArray>> parts) {
    FirmwareImage image;
    for (const auto &[address, bytes] : parts)
        image.setBytes(address, bytes);
    return image;
}

} // namespace

TEST(GridAxes, SpeedBreakpointsTakeTheFirstExactPosition) {
    Table t = ramp(2); // position 48 (3 x 16) first at x = 50
    const auto bp = speedBreakpoints(t, 40);
    EXPECT_EQ(bp[3], 50 * 40);
    EXPECT_EQ(bp[0], 2 * 40) << "the last entry holding 0";
    EXPECT_EQ(bp[1], 18 * 40);
    EXPECT_EQ(bp[15], 242 * 40);
    EXPECT_EQ(bp[16], 12000);
    EXPECT_EQ(speedBreakpoints(t, 30)[3], 50 * 30);
}

TEST(GridAxes, SpeedBreakpointsCatchAJumpOverAPosition) {
    Table t{};
    for (int x = 0; x < 256; ++x)
        t[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(std::min(x, 240));
    t[60] = 2 * 16 + 8; // 2.5 cells
    t[61] = 4 * 16;     // 4 cells: position 3 is jumped over
    for (int x = 40; x < 60; ++x)
        t[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(2 * 16 + (x - 40) / 3); // between 2 and 3
    for (int x = 62; x < 256; ++x)
        t[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(std::min(64 + (x - 61), 240));
    const auto bp = speedBreakpoints(t, 40);
    EXPECT_EQ(bp[2], 32 * 40);
    EXPECT_EQ(bp[3], 61 * 40) << "the crossing takes the next entry's speed";
    EXPECT_EQ(bp[4], 61 * 40);
    EXPECT_EQ(bp[5], (61 + 16) * 40);
}

TEST(GridAxes, StepThirtyEndsAt7560) {
    for (const Table &t : {ramp(0), ramp(10), Table{}}) {
        EXPECT_EQ(speedBreakpoints(t, 30)[15], 7560);
        EXPECT_NE(speedBreakpoints(t, 40)[15], 7560);
    }
}

TEST(GridAxes, TheCodeDecidesTheSpeedStep) {
    const QByteArray step30 = QByteArray::fromHex("90613CE554");
    const QByteArray step40 = QByteArray::fromHex("90613CE555");
    EXPECT_EQ(rpmStepOf(FirmwareImage()), 40);
    EXPECT_EQ(rpmStepOf(imageWith({{0x1000, step30}})), 30);
    EXPECT_EQ(rpmStepOf(imageWith({{0x1000, step30}, {0x2000, step40}})), 40) << "the last match decides";
    EXPECT_EQ(rpmStepOf(imageWith({{0x2000, step30}, {0x1000, step40}})), 30);
    EXPECT_EQ(rpmStepOf(imageWith({{0x1000, QByteArray::fromHex("90613CE556")}})), 40);
    EXPECT_EQ(rpmStepOf(imageWith({{0xFFFB, step30}})), 30) << "the last whole pattern";
    EXPECT_EQ(rpmStepOf(imageWith({{0xFFFC, step30.left(4)}})), 40) << "a cut-off pattern is no pattern";
}

TEST(GridAxes, ThrottleBreakpoints) {
    Table t{};
    for (int x = 0; x < 256; ++x)
        t[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(std::min(4 * x, 240)); // 16 n at x = 4 n
    t[9] = 2 * 16 + 8;                                                                    // 2.5 cells ...
    t[10] = 3 * 16 + 8; // ... then 3.5: position 3 is jumped over
    const auto bp = throttleBreakpoints(t);
    EXPECT_EQ(bp[0], 0);
    EXPECT_EQ(bp[1], 4);
    EXPECT_EQ(bp[2], 8);
    EXPECT_EQ(bp[3], 9) << "a crossing takes the entry itself, not the next";
    EXPECT_EQ(bp[4], 16);
    EXPECT_EQ(bp[14], 56);
    EXPECT_EQ(bp[15], 100);
    EXPECT_EQ(bp[16], 120);
}

TEST(GridAxes, PressureBreakpointsFromTheirConstants) {
    const FirmwareImage image = imageWith({{0x5EF2, QByteArray::fromHex("8403")}, {0x5EF4, QByteArray::fromHex("5C")}});
    // base 900 div 60 = 15; step 8248.5 / 92 / 15 = 5.977...
    const auto bp = pressureBreakpoints(image, 1);
    EXPECT_EQ(bp[0], 150);
    EXPECT_EQ(bp[1], 200);
    EXPECT_EQ(bp[2], 260);
    EXPECT_EQ(bp[15], 1040);
    EXPECT_EQ(bp[16], 1100);

    // A divisor byte of 0 leaves the range whole: 8248.5 / 15, or VRK's 8194.6 / 15.
    EXPECT_EQ(pressureBreakpoints(FirmwareImage(), 1)[1], 549 * 10);
    EXPECT_EQ(pressureBreakpoints(FirmwareImage(), 2)[1], 546 * 10);
}

TEST(GridAxes, CyclicAirBreakpointsRoundHalfToEven) {
    // word 6064 = 15 -> 2.5 -> 2; divisor 0 -> d = 1 -> +16 each
    const auto plain = cyclicAirBreakpoints(imageWith({{0x6064, QByteArray::fromHex("0F00")}}));
    EXPECT_EQ(plain[0], 2);
    EXPECT_EQ(plain[1], 18);
    EXPECT_EQ(plain[49], 2 + 49 * 16);
    // divisor 152: d * 16 = 35.908...
    const auto scaled =
        cyclicAirBreakpoints(imageWith({{0x6064, QByteArray::fromHex("6801")}, {0x6066, QByteArray::fromHex("98")}}));
    EXPECT_EQ(scaled[0], 60);
    EXPECT_EQ(scaled[1], 96);
    EXPECT_EQ(scaled[2], 132);
}

TEST(GridAxes, BoundariesCentreTheCells) {
    GridAxes axes = axesFromImage(imageWith({{0x613C, QByteArray(reinterpret_cast<const char *>(ramp(0).data()), 256)},
                                             {0x5EF2, QByteArray::fromHex("8403")},
                                             {0x5EF4, QByteArray::fromHex("5C")}}),
                                  1);
    EXPECT_EQ(axes.rpmBounds[0], -1);
    EXPECT_EQ(axes.rpmBounds[1], (axes.rpm[0] + axes.rpm[1]) / 2.0f);
    EXPECT_EQ(axes.rpmBounds[16], 10201);
    EXPECT_EQ(axes.throttleBounds[0], -1);
    EXPECT_EQ(axes.throttleBounds[16], 101);
    EXPECT_EQ(axes.pressureBounds[0], 0);
    EXPECT_EQ(axes.pressureBounds[3], (260 + 320) / 2.0f);
    EXPECT_EQ(axes.pressureBounds[16], 2 * axes.pressure[14] - axes.pressure[13]);
    EXPECT_EQ(axes.airLowerBound(0), 0);
    EXPECT_EQ(axes.airLowerBound(3), axes.air[2]);
}

TEST(GridAxes, CellWindow) {
    struct Case {
        double v, s;
        bool inside;
    };
    // The cell (100, 200]
    const Case cases[] = {
        {200, 100, true}, {100, 100, false}, {100.5, 100, true}, {125, 50, false},
        {126, 50, true},  {175, 50, true},   {176, 50, false},   {150, 0, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(cellWindowContains(c.v, 100, 200, c.s), c.inside) << c.v << " at " << c.s << "%";
}

TEST(GridAxes, FromEcuRebuildsFromTheKeptCopies) {
    FirmwareImage image = imageWith({{0x613C, QByteArray(reinterpret_cast<const char *>(ramp(5).data()), 256)},
                                     {0x1000, QByteArray::fromHex("90613CE554")},
                                     {0x60D2, QByteArray::fromHex("EA24")},
                                     {0x60D4, QByteArray::fromHex("1D")}});
    GridAxes axes;
    ASSERT_TRUE(Namesstringgrid(kAxesFromPc, axes, image, 1));
    const GridAxes built = axes;
    EXPECT_EQ(axes.rpmStep, 30);
    EXPECT_FLOAT_EQ(axes.pressureSensor.gain, 9450 / 500.0f);
    EXPECT_FLOAT_EQ(axes.pressureSensor.offset, 29 * 5 / 256.0f);

    ASSERT_TRUE(Namesstringgrid(kAxesFromEcu, axes, FirmwareImage(), 2));
    EXPECT_EQ(axes.rpm, built.rpm) << "the ECU build does not read the image";
    EXPECT_EQ(axes.pressure, built.pressure);
    EXPECT_EQ(axes.pressureSensor, built.pressureSensor);
    EXPECT_FALSE(Namesstringgrid("fromPC", axes, image, 1));
}

TEST(GridAxes, J7esaKeepsItsSensorConstantsElsewhere) {
    const FirmwareImage image = imageWith({{0x6098, QByteArray::fromHex("3A09")},
                                           {0x609A, QByteArray::fromHex("7400")},
                                           {0x60D2, QByteArray::fromHex("0100")}});
    const PressureSensorConstants j7 = pressureSensorConstants(image, 3);
    EXPECT_FLOAT_EQ(j7.gain, 2362 / 125.0f);
    EXPECT_FLOAT_EQ(j7.offset, 116 * 5 / 1024.0f);
    EXPECT_FLOAT_EQ(pressureSensorConstants(image, 2).gain, 1 / 500.0f);
}
