#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvel {

// The heat-map colouring of the table grid: cells below the mean run from
// yellow to green, cells above it from yellow to red. Colours are 0xRRGGBB.

// The data cells of the grid (rows of texts; the grid's header row and column
// are not part of it).
using CellTexts = std::vector<std::vector<QString>>;

inline int rgb(int r, int g, int b) {
    return (r << 16) | (g << 8) | b;
}

struct HeatStats {
    bool coloured = false; // false: every cell keeps the grid's own drawing
    double minimum = 0;
    double maximum = 0;
    double average = 0;
    double factor = 0; // f
};

// Minimum, maximum and mean over the non-empty cells. The mean divides by the
// size of the whole data area; the grid is left uncoloured when its first
// cell is empty or when no cell lies on both sides of the mean.
HeatStats heatStats(const CellTexts &cells);

// The fill of a data cell in grid row `row` (from 1), or nothing when the cell
// keeps the default drawing. The row shown in the flat chart (`flatRow`, from
// 1; 0 for none) is marked in blue.
std::optional<int> heatColour(const HeatStats &stats, double value, int row, int flatRow);

inline constexpr int kFlatRowColour = 0x6666FF;

} // namespace korvel
