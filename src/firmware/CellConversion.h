#pragma once

namespace korvel {

// How a table's raw cells become the physical values the user sees: the
// table kind (1 one-dimensional, 2 two-dimensional, 3 single value), the
// cell type and the five constants of its description.
struct TableConversion {
    int kind = 1;
    int cellType = 0;
    double d1 = 1; // scale divisor
    double d2 = 0; // value offset
    double d3 = 0; // inverse numerator; 0 = plain linear scale
    double d4 = 1; // scale multiplier
    double d5 = 0; // raw offset
};

// k = D4 / D1. A divisor of 0 would turn every value into infinity; it is
// taken as 1 so that such a table still shows its raw values times D4.
double conversionScale(const TableConversion &table);

// Kinds 1 and 2: (raw - D5) k - D2, or with D3: D3 / (raw - D5) k - D2 (0 at raw = D5).
// Kind 3: v = (raw - D5) k - D2, then D3 k k / v when D3 and v are not 0.
double RawToPhysical(double raw, const TableConversion &table);

struct ValueRange {
    double minimum = 0;
    double maximum = 0;
};

// The physical values of the cell type's raw minimum and maximum (linear form),
// smaller first; kind 3 with D3 spans 0 to D3 k.
ValueRange PhysicalRange(const TableConversion &table);

// x limited to the open table's minimum and maximum.
double ClampToTableLimits(double x, double minimum, double maximum);

} // namespace korvel
