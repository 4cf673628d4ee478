#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace korvel::sim {

// Where the ECU stands in its 16 x 16 tables: a cell and how far (in
// sixteenths) the operating point has moved towards the next column and the
// next row.
struct EcuCell {
    int row = 0;
    int col = 0;
    int loadSixteenths = 0;
    int speedSixteenths = 0;

    int index() const { return row * 16 + col; }
};

// The four corner weights of a cell, in the order the cell, the next column,
// the next row, the diagonal. They always add up to 1.
struct CornerWeights {
    double cell = 1, nextColumn = 0, nextRow = 0, diagonal = 0;
};

// The ECU's own grid, read from its firmware bytes as its code reads them:
// the speed position table at 613C (one entry per speed step, holding the
// grid position in sixteenths), the throttle position table at 7208 (one
// entry per throttle percent), the pressure breakpoints from the constants at
// 5EF2..5EF4, and the cyclic-air breakpoints of the phase table from 6064 and
// 6066. The speed step is 40 rpm unless the code that loads the speed table
// (90 61 3C E5 xx) says 30 (xx = 54).
class EcuGrid {
public:
    // The pressure span of the J5LS family; VRK firmwares use 8194.6.
    static constexpr double kJ5lsPressureSpan = 8248.5;

    explicit EcuGrid(const QByteArray &firmware, double pressureSpan = kJ5lsPressureSpan);

    // The cell and fractions at an operating point. Engine speed and throttle
    // take the table entry at or below them; the pressure (tenths of a kPa)
    // takes the interval it falls in (lower exclusive, upper inclusive) and
    // fifteenths of it, rounded down; below the first breakpoint it is row 0
    // without fraction, above the last one the last row at its top.
    EcuCell at(double rpm, double loadValue, bool byPressure) const;
    // The row of the phase table for a cyclic air filling: the interval of the
    // air breakpoints it falls in, clamped to the table.
    int airRow(double cyclicAir) const;

    // The operating points the tables' rows and columns stand for: the first
    // engine speed and throttle whose position reaches 16 n (for row or column
    // 0 the last still at 0), and the pressure breakpoints (tenths of a kPa).
    double speedBreakpoint(int n) const;
    double throttleBreakpoint(int n) const;

    int rpmStep() const { return m_rpmStep; }
    const std::array<double, 17> &pressureBreakpoints() const { return m_pressure; }

private:
    int m_rpmStep = 40;
    std::array<std::uint8_t, 256> m_speed{};
    std::array<std::uint8_t, 256> m_throttle{};
    std::array<double, 17> m_pressure{}; // tenths of a kPa
    std::array<double, 16> m_air{};
};

// The ECU's weights from the fractions: (16 - g)(16 - b), b(16 - g), g(16 - b)
// and g b, over 256, with g the load and b the speed sixteenths.
CornerWeights cornerWeights(const EcuCell &cell);

// A 256-byte table read at a cell with the four weights; the corners past the
// last row or column are the edge cells themselves.
double interpolate(const QByteArray &table, const EcuCell &cell);

} // namespace korvel::sim
