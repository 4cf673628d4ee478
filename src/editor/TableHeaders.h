#pragma once

#include "tuning/GridAxes.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// The axis headers of a table: either the breakpoints of one of the shared
// axes of the tuning grids (chosen by the table's axis code) or numbers
// computed from the description's start, end and count.

namespace sharedaxis {
inline constexpr int ZeroList = -1; // a code that names no axis: every header reads 0
inline constexpr int Speed = 0;
inline constexpr int Throttle = 1;
inline constexpr int Pressure = 2;
inline constexpr int CyclicAir = 3;
inline constexpr int AirSteps = 4; // first cyclic-air breakpoint, then steps of 4
} // namespace sharedaxis

// Which shared axis a non-empty code selects for the X axis of a table of
// `kind` (1 or 2) or, with `yAxis`, for the Y axis of a map. An unknown code
// gives the zero list on X and the speed axis on Y.
int sharedAxisOf(const QString &code, int kind, bool yAxis);

// Breakpoint i (from 1) of a shared axis; entries past the end of a list read 0.
int breakpoint(const GridAxes &axes, int axis, int i);

// Header i (from 1) of `count` headers on a shared axis: with 32 headers the
// odd ones are breakpoints and the even ones the means of their neighbours.
double sharedHeader(const GridAxes &axes, int axis, int count, int i);

struct AxisSpan {
    QString code;
    int count = 0;
    double start = 0;
    double end = 0;
};

// The X headers of a curve (kind 1) or map (kind 2), and the Y headers of a map.
// A header that is not written (a computed axis of one point) is empty text.
QStringList columnHeaders(int kind, const AxisSpan &x, const GridAxes &axes);
QStringList rowHeaders(const AxisSpan &y, const GridAxes &axes);

} // namespace korvel
