#pragma once

#include <array>
#include <cstdint>

namespace korvel {

class FirmwareImage;
struct GridAxes;

// The cell the ECU itself works in and its interpolation weights over the
// four cells around the operating point: k11 the cell, k12 the next column,
// k21 the next row, k22 the diagonal. The weights always sum to 1.
struct WorkingPoint {
    int row = 0;
    int col = 0;
    int loadFraction = 0;  // sixteenths towards the next row
    int speedFraction = 0; // sixteenths towards the next column
    double k11 = 1, k12 = 0, k21 = 0, k22 = 0;

    int index() const { return row * 16 + col; }
};

// The operating point the working point is computed from: engine speed,
// throttle percent and manifold pressure in tenths of a kPa.
struct OperatingPoint {
    double rpm = 0;
    double throttle = 0;
    double pressure = 0;
};

// Reproduces the ECU's working point from its own position tables (speed,
// throttle) and from the pressure breakpoints. An engine speed between two
// multiples of the table step takes the lower one. A pressure outside every
// pressure interval (0 or less, or above the last breakpoint) keeps the row and
// fraction of the previous pressure; one at or below the first breakpoint is
// row 0 with fraction 0, as the ECU has no row before it.
class WorkingPointModel {
public:
    WorkingPoint compute(const GridAxes &axes, const OperatingPoint &point, bool byPressure);

    // A new connection forgets the previous pressure.
    void reset() { m_pressureRow = m_pressureFraction = 0; }

private:
    int m_pressureRow = 0;
    int m_pressureFraction = 0;
};

// The weights of a cell fraction pair, in sixteenths.
std::array<double, 4> interpolationWeights(int loadFraction, int speedFraction);

// What the hidden test panel (PanelTest) shows: the working point, the four
// corner corrections of the correction table (byte / 128; the cell, the next
// column, the next row, the diagonal), the weights, their sum and the
// correction the ECU interpolates from them.
struct InterpolatedCorrection {
    WorkingPoint point;
    std::array<double, 4> corners{};
    double weightSum = 0;
    double correction = 0;
};
InterpolatedCorrection interpolatedCorrection(const WorkingPoint &point, const FirmwareImage &image,
                                              std::int64_t correctionTable);

} // namespace korvel
