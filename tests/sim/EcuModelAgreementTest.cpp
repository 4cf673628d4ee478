// The simulated ECU's working point and interpolation against the tuner's
// own model of them, both held to values worked out by hand from the ECU's
// description: the speed and throttle position tables give the cell and the
// sixteenths, the pressure breakpoints give the row and trunc(15 x share), and
// the four corners weigh (16 - g)(16 - b), b(16 - g), g(16 - b) and g b over 256.
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareImage.h"
#include "sim/EcuGrid.h"
#include "tuning/GridAxes.h"
#include "tuning/WorkingPoint.h"

#include <gtest/gtest.h>

#include <array>

using namespace korvel;

namespace {

struct Point {
    const char *where;
    double rpm, throttle, pressure; // pressure in tenths of a kPa
    bool byPressure;
    int row, col, loadSixteenths, speedSixteenths;
    std::array<double, 4> weights; // cell, next column, next row, diagonal
};

// On the demo firmware: speed breakpoints 600, 720, 840, 1000, 1160 ... (40 rpm
// entries), throttle breakpoints 0, 1, 3, 5, 8, 12 ..., pressure breakpoints
// 150, 200, 260, 320, 380, 440, 500, 560 ... tenths of a kPa.
const Point kPoints[] = {
    {"on a breakpoint of both axes", 1000, 8, 0, false, 4, 3, 0, 0, {1, 0, 0, 0}},
    {"midway on both axes", 1080, 10, 0, false, 4, 3, 8, 8, {0.25, 0.25, 0.25, 0.25}},
    {"a quarter along the speed axis", 1040, 8, 0, false, 4, 3, 0, 4, {0.75, 0.25, 0, 0}},
    {"a quarter along the throttle axis", 1000, 9, 0, false, 4, 3, 4, 0, {0.75, 0, 0.25, 0}},
    {"between two speed entries: the lower one", 1019, 8, 0, false, 4, 3, 0, 0, {1, 0, 0, 0}},
    {"the first cell", 600, 0, 0, false, 0, 0, 0, 0, {1, 0, 0, 0}},
    {"by pressure, just above a breakpoint", 1000, 8, 501, true, 6, 3, 0, 0, {1, 0, 0, 0}},
    {"by pressure, midway", 1080, 8, 470, true, 5, 3, 7, 8, {72.0 / 256, 72.0 / 256, 56.0 / 256, 56.0 / 256}},
    {"by pressure, on a breakpoint: the top of the row below",
     1000,
     8,
     500,
     true,
     5,
     3,
     15,
     0,
     {1.0 / 16, 0, 15.0 / 16, 0}},
    {"by pressure, at or below the first breakpoint", 1000, 8, 150, true, 0, 3, 0, 0, {1, 0, 0, 0}},
};

void expectPoint(const Point &p, int row, int col, int g, int b, const std::array<double, 4> &w, const char *model) {
    SCOPED_TRACE(std::string(model) + " is off the ECU's description " + p.where);
    EXPECT_EQ(row, p.row);
    EXPECT_EQ(col, p.col);
    EXPECT_EQ(g, p.loadSixteenths);
    EXPECT_EQ(b, p.speedSixteenths);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(w[i], p.weights[i]) << "corner " << i;
}

} // namespace

TEST(EcuModelAgreement, BothModelsFindTheEcusCellAndWeights) {
    const QByteArray firmware = makeDemoFirmware();
    const sim::EcuGrid ecu(firmware);
    const GridAxes axes = axesFromImage(*FirmwareImage::fromBytes(firmware), firmwarefamily::J5ls);
    for (const Point &p : kPoints) {
        const sim::EcuCell cell = ecu.at(p.rpm, p.byPressure ? p.pressure : p.throttle, p.byPressure);
        const sim::CornerWeights w = sim::cornerWeights(cell);
        expectPoint(p, cell.row, cell.col, cell.loadSixteenths, cell.speedSixteenths,
                    {w.cell, w.nextColumn, w.nextRow, w.diagonal}, "the simulated ECU (sim::EcuGrid)");

        WorkingPointModel tuner;
        const WorkingPoint wp = tuner.compute(axes, {p.rpm, p.throttle, p.pressure}, p.byPressure);
        expectPoint(p, wp.row, wp.col, wp.loadFraction, wp.speedFraction, {wp.k11, wp.k12, wp.k21, wp.k22},
                    "the tuner's working point (WorkingPointModel)");
    }
}

TEST(EcuModelAgreement, BothInterpolateTheCorrectionTableFromTheFourCorners) {
    FirmwareImage image = *FirmwareImage::fromBytes(makeDemoFirmware());
    constexpr int kTable = 0x7CF7;
    // Distinct corners around cell (4, 3): 100, 140, 160, 220.
    image.setByte(kTable + 4 * 16 + 3, 100);
    image.setByte(kTable + 4 * 16 + 4, 140);
    image.setByte(kTable + 5 * 16 + 3, 160);
    image.setByte(kTable + 5 * 16 + 4, 220);
    const QByteArray table = image.bytes().mid(kTable, 256);
    const sim::EcuGrid ecu(image.bytes());
    const GridAxes axes = axesFromImage(image, firmwarefamily::J5ls);
    struct Case {
        double rpm, throttle, expected; // byte units
    } cases[] = {
        {1000, 8, 100},
        {1080, 10, (100 + 140 + 160 + 220) / 4.0},
        {1040, 8, 0.75 * 100 + 0.25 * 140},
        {1000, 9, 0.75 * 100 + 0.25 * 160},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(sim::interpolate(table, ecu.at(c.rpm, c.throttle, false)), c.expected)
            << "the simulated ECU at " << c.rpm << " rpm, " << c.throttle << " %";
        WorkingPointModel tuner;
        const WorkingPoint wp = tuner.compute(axes, {c.rpm, c.throttle, 0}, false);
        EXPECT_NEAR(interpolatedCorrection(wp, image, kTable).correction * 128, c.expected, 1e-9)
            << "the tuner's PanelTest at " << c.rpm << " rpm, " << c.throttle << " %";
    }
}

// The J5LS pressure span (8248.5 over the divisor at 5EF4, in 15 steps, from
// the base at 5EF2 in kPa x 60): with divisor 10 and base 15 kPa, breakpoint 3
// is (trunc(3 x 54.99) + 15) x 10 = 1790; VRK's span (8194.6) would give 1780.
TEST(EcuModelAgreement, PressureBreakpointsUseTheFamilysSpan) {
    FirmwareImage image = *FirmwareImage::fromBytes(makeDemoFirmware());
    image.setByte(0x5EF4, 10);
    const sim::EcuGrid ecu(image.bytes());
    EXPECT_DOUBLE_EQ(ecu.pressureBreakpoints()[3], 1790);
    EXPECT_EQ(axesFromImage(image, firmwarefamily::J5ls).pressure[3], 1790);
    EXPECT_DOUBLE_EQ(sim::EcuGrid(image.bytes(), 8194.6).pressureBreakpoints()[3], 1780);
}

// The demo firmware's breakpoints, as the ECU's own tables place them.
TEST(EcuModelAgreement, TheEcusBreakpointsAreTheDemoFirmwares) {
    const sim::EcuGrid ecu(makeDemoFirmware());
    for (int n = 0; n < 16; ++n) {
        EXPECT_DOUBLE_EQ(ecu.speedBreakpoint(n), demofirmware::kRpmBreakpoints[static_cast<std::size_t>(n)]) << n;
        EXPECT_DOUBLE_EQ(ecu.throttleBreakpoint(n), demofirmware::kThrottleBreakpoints[static_cast<std::size_t>(n)])
            << n;
    }
}
