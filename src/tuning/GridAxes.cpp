#include "tuning/GridAxes.h"

#include "core/Numbers.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareImage.h"

#include <cmath>

namespace korvel {
namespace {

constexpr int kTopRpm = 12000;
constexpr int kTopThrottle = 120;
constexpr int kStep30LastRpm = 7560;

std::array<std::uint8_t, 256> tableAt(const FirmwareImage &image, int address) {
    std::array<std::uint8_t, 256> table{};
    const QByteArray bytes = image.slice(address, 256);
    for (int x = 0; x < bytes.size(); ++x)
        table[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(bytes.at(x));
    return table;
}

// The walk over a position table shared by speed and throttle: an entry of
// exactly 16 n is breakpoint n; an entry that jumps over 16 n to the next
// one makes breakpoint n too, at s + crossingShift.
std::array<int, GridAxes::kPoints> walk(const std::array<std::uint8_t, 256> &t, int step, int crossingShift) {
    std::array<int, GridAxes::kPoints> bp{};
    int s = 0;
    int n = 1;
    for (std::size_t x = 0; x < t.size(); ++x, s += step) {
        const double position = t[x] / 16.0;
        if (n > 15) { // every breakpoint found: only a zero entry still moves bp[0]
            if (t[x] == 0)
                bp[0] = s;
            continue;
        }
        if (position == n) {
            bp[static_cast<std::size_t>(n++)] = s;
            continue;
        }
        if (t[x] == 0)
            bp[0] = s;
        if (t[x] > 16 && x + 1 < t.size() && position < n && n < t[x + 1] / 16.0)
            bp[static_cast<std::size_t>(n++)] = s + crossingShift;
    }
    return bp;
}

} // namespace

int rpmStepOf(const FirmwareImage &image) {
    const QByteArray &b = image.bytes();
    int step = 40;
    for (qsizetype a = 0; a + 4 < b.size() && a < 0xFFFD; ++a) {
        if (b.at(a) != '\x90' || b.at(a + 1) != '\x61' || b.at(a + 2) != '\x3C' || b.at(a + 3) != '\xE5')
            continue;
        if (b.at(a + 4) == '\x54')
            step = 30;
        else if (b.at(a + 4) == '\x55')
            step = 40;
    }
    return step;
}

std::array<int, GridAxes::kPoints> speedBreakpoints(const std::array<std::uint8_t, 256> &table, int step) {
    std::array<int, GridAxes::kPoints> bp = walk(table, step, step);
    if (step == 30)
        bp[15] = kStep30LastRpm; // the 30 rpm firmwares end their grid at 7560 rpm
    bp[16] = kTopRpm;
    return bp;
}

std::array<int, GridAxes::kPoints> throttleBreakpoints(const std::array<std::uint8_t, 256> &table) {
    std::array<int, GridAxes::kPoints> bp = walk(table, 1, 0);
    bp[0] = 0;
    bp[15] = 100;
    bp[16] = kTopThrottle;
    return bp;
}

std::array<int, GridAxes::kPoints> pressureBreakpoints(const FirmwareImage &image, int firmwareFamily) {
    const int base = (image.byteAt(0x5EF3).value_or(0) * 256 + image.byteAt(0x5EF2).value_or(0)) / 60;
    double range = firmwareFamily == firmwarefamily::Vrk ? 8194.6 : 8248.5;
    if (const int divisor = image.byteAt(0x5EF4).value_or(0); divisor != 0)
        range /= divisor;
    const double step = range / 15;
    std::array<int, GridAxes::kPoints> bp{};
    for (int i = 0; i < GridAxes::kPoints; ++i)
        bp[static_cast<std::size_t>(i)] = (static_cast<int>(std::trunc(i * step)) + base) * 10;
    return bp;
}

std::array<int, GridAxes::kAirPoints> cyclicAirBreakpoints(const FirmwareImage &image) {
    std::array<int, GridAxes::kAirPoints> air{};
    const int divisor = image.byteAt(0x6066).value_or(0);
    const double d = divisor == 0 ? 1.0 : 341.13 / divisor;
    air[0] = static_cast<int>(roundHalfEven(image.wordAt(0x6064).value_or(0) / 6.0));
    for (std::size_t i = 1; i < air.size(); ++i)
        air[i] = static_cast<int>(roundHalfEven(d * 16 + air[i - 1]));
    return air;
}

std::array<float, GridAxes::kPoints> cellBoundaries(const std::array<int, GridAxes::kPoints> &bp, float first,
                                                    float last) {
    std::array<float, GridAxes::kPoints> bounds{};
    bounds[0] = first;
    for (std::size_t i = 1; i < 16; ++i)
        bounds[i] = static_cast<float>((bp[i - 1] + bp[i]) / 2.0);
    bounds[16] = last;
    return bounds;
}

namespace {

void deriveFromKept(GridAxes &axes) {
    axes.rpm = speedBreakpoints(axes.speedTable, axes.rpmStep);
    axes.throttle = throttleBreakpoints(axes.throttleTable);
    axes.rpmBounds = cellBoundaries(axes.rpm, -1, 10201);
    axes.throttleBounds = cellBoundaries(axes.throttle, -1, 101);
    axes.pressureBounds =
        cellBoundaries(axes.pressure, 0, static_cast<float>(2 * axes.pressure[14] - axes.pressure[13]));
}

} // namespace

GridAxes axesFromImage(const FirmwareImage &image, int firmwareFamily) {
    GridAxes axes;
    axes.speedTable = tableAt(image, kSpeedTableAddress);
    axes.throttleTable = tableAt(image, kThrottleTableAddress);
    axes.rpmStep = rpmStepOf(image);
    axes.pressure = pressureBreakpoints(image, firmwareFamily);
    axes.air = cyclicAirBreakpoints(image);
    axes.pressureSensor = pressureSensorConstants(image, firmwareFamily);
    deriveFromKept(axes);
    return axes;
}

bool Namesstringgrid(const QString &source, GridAxes &axes, const FirmwareImage &image, int firmwareFamily) {
    if (source == kAxesFromPc) {
        axes = axesFromImage(image, firmwareFamily);
        return true;
    }
    if (source == kAxesFromEcu) {
        deriveFromKept(axes);
        return true;
    }
    return false;
}

bool cellWindowContains(double v, double lo, double hi, double stationarityPercent) {
    const double q = (100 - stationarityPercent) / 100;
    const double h = (hi - lo) / 2;
    return lo + q * h < v && v <= hi - q * h;
}

} // namespace korvel
