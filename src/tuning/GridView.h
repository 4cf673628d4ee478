#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace korvel {

struct GridAxes;
struct TuningCell;
struct TuningSettings;

// Where the engine runs on the shown grid, for the highlight timer.
struct GridPosition {
    double rpm = 0;
    double throttle = 0;
    double pressure = 0; // tenths of a kPa
    double cyclicAir = 0;
};

// Cells marked on the grid: one cell, or the 2 × 2 block of working points
// around the operating point in the four-point method (0-based cells; the
// cursor stands on the top left one).
struct GridHighlight {
    int row = 0;
    int col = 0;
    int rows = 1;
    int cols = 1;

    bool contains(int r, int c) const { return r >= row && r < row + rows && c >= col && c < col + cols; }
    friend bool operator==(const GridHighlight &, const GridHighlight &) = default;
};

// The cell whose stationary windows hold the operating point, on the load
// axis of the grid kind (1 throttle, 2 pressure, 3 cyclic air); none outside.
std::optional<GridHighlight> highlightedCell(const GridAxes &axes, int gridKind, const GridPosition &at,
                                             const TuningSettings &settings);
// The block of working points around the operating point: between speed
// breakpoints c − 1 and c and load breakpoints r − 1 and r (kind 1 lower
// inclusive, kinds 2 and 3 upper inclusive), clipped to the grid.
std::optional<GridHighlight> fourPointBlock(const GridAxes &axes, int gridKind, const GridPosition &at);

// The scale of the shown values. It starts at the first cell's value unless
// that cell shows "0", when it starts at 0.
struct GridValueScale {
    double max = 0;
    double min = 0;
    double avg = 0;
};
GridValueScale valueRange(const std::array<double, 256> &values, bool firstShowsZero);

struct CellColour {
    int r = 255, g = 255, b = 255;
    friend bool operator==(const CellColour &, const CellColour &) = default;
};
inline constexpr CellColour kSelectedColour{255, 0, 0};
inline constexpr CellColour kPaleGreen{214, 255, 173};
inline constexpr CellColour kGreen{166, 255, 43};
inline constexpr CellColour kPaleYellow{255, 255, 145};

struct CellColourInputs {
    int gridKind = 1;
    bool byPressure = false; // the load mode of tuning
    bool gradient = false;   // CheckBoxcolodgrid is ticked
    GridValueScale range;
    double value = 0; // the value the cell shows
    bool selected = false;
};
// The colour of a data cell; nothing keeps the grid's default.
std::optional<CellColour> cellColour(const TuningCell &cell, const CellColourInputs &in);

// The three scale labels (maximum, average, minimum), or nothing when
// "Показывать min/max" is off or the average equals both ends.
std::optional<QStringList> minMaxLabels(const GridValueScale &range, bool showMinMax);

} // namespace korvel
