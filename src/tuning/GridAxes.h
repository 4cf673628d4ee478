#pragma once

#include "firmware/PressureSensor.h"

#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

class FirmwareImage;

// The axes of the 16 x 16 tuning grids, built from the firmware image:
// engine speed and throttle breakpoints from the ECU's position tables,
// pressure breakpoints (tenths of a kPa) and cyclic-air breakpoints from their
// constants, each speed/throttle/pressure cell centred on its breakpoint.
struct GridAxes {
    static constexpr int kPoints = 17;    // entries 0..15 are breakpoints, 16 closes the last cell
    static constexpr int kAirPoints = 50; // 0..15 are shown

    std::array<int, kPoints> rpm{};
    std::array<int, kPoints> throttle{};
    std::array<int, kPoints> pressure{};
    std::array<int, kAirPoints> air{};

    // Cell k lies between boundaries k and k + 1 (lower exclusive, upper inclusive).
    std::array<float, kPoints> rpmBounds{};
    std::array<float, kPoints> throttleBounds{};
    std::array<float, kPoints> pressureBounds{};

    // Kept from the last build from the image: the ECU's two position tables
    // (T[x] = grid position of x * step, in sixteenths), the speed step and the
    // pressure sensor's calibration for the frame decoder.
    std::array<std::uint8_t, 256> speedTable{};
    std::array<std::uint8_t, 256> throttleTable{};
    int rpmStep = 40;
    PressureSensorConstants pressureSensor;

    // The lower boundary of cyclic-air cell k: the breakpoint before it, 0 for the first.
    int airLowerBound(int k) const { return k <= 0 || k >= kAirPoints ? 0 : air[static_cast<std::size_t>(k - 1)]; }
};

inline const QString kAxesFromPc = QStringLiteral("frompc");
inline const QString kAxesFromEcu = QStringLiteral("fromecu");

inline constexpr int kSpeedTableAddress = 0x613C;
inline constexpr int kThrottleTableAddress = 0x7208;

// The speed step: 40 rpm, unless the image's code loads the speed table with
// 90 61 3C E5 followed by 54 (30 rpm) or 55 (40 rpm); the last such place decides.
int rpmStepOf(const FirmwareImage &image);

// The breakpoint walks over a position table (bp[16] is 12000 rpm / 120 %).
std::array<int, GridAxes::kPoints> speedBreakpoints(const std::array<std::uint8_t, 256> &table, int step);
std::array<int, GridAxes::kPoints> throttleBreakpoints(const std::array<std::uint8_t, 256> &table);
// (trunc(i * step) + base) * 10, base from 5EF2/5EF3, step from the family's range and 5EF4.
std::array<int, GridAxes::kPoints> pressureBreakpoints(const FirmwareImage &image, int firmwareFamily);
// Round(word(6064) / 6), then Round(341.13 / byte(6066) * 16) apart.
std::array<int, GridAxes::kAirPoints> cyclicAirBreakpoints(const FirmwareImage &image);

// Cell boundaries between neighbouring breakpoints, with the first and last given.
std::array<float, GridAxes::kPoints> cellBoundaries(const std::array<int, GridAxes::kPoints> &bp, float first,
                                                    float last);

// The axes from the image ("frompc"); the family chooses the pressure range and
// where the pressure sensor constants lie.
GridAxes axesFromImage(const FirmwareImage &image, int firmwareFamily);

// `Namesstringgrid`: "frompc" rebuilds the axes from the image; "fromecu"
// rebuilds them from the tables and constants kept by the last "frompc".
// Another source changes nothing and returns false.
bool Namesstringgrid(const QString &source, GridAxes &axes, const FirmwareImage &image, int firmwareFamily);

// Whether v lies in the stationary window of a cell between lo and hi: the
// central `stationarityPercent` of the cell (100 the whole cell, 0 nothing).
bool cellWindowContains(double v, double lo, double hi, double stationarityPercent);

} // namespace korvel
