#pragma once

#include "editor/HeatMap.h"
#include "editor/TableEdits.h"
#include "firmware/Outcome.h"

#include <optional>
#include <vector>

namespace korvel {

// The block commands of the editor: each acts on a rectangular block of the
// grid's texts and is written back as one edit.

// A block of data cells, bounds included, columns and rows from 1.
struct CellBlock {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    friend bool operator==(const CellBlock &, const CellBlock &) = default;
};

// The smallest block holding every chosen cell; nothing when none is chosen.
std::optional<CellBlock> blockOf(const std::vector<CellPos> &cells);

enum class BlockCommand {
    InterpolateRows,    // along each row, between its first and last cell
    InterpolateColumns, // along each column, between its top and bottom cell
    Interpolate2D,      // the inside from all four edges (they stay)
    ScalePercent,       // every cell times the given percent (105 raises by 5 %)
    Mean,               // every cell set to the block's mean
    Smooth,             // one pass of the 3 x 3 mean; the block's edge cells stay
};

// Changes the block's texts. Refused, nothing changed, when the block lies
// outside the grid, a cell of it holds no number, or the percent is no number.
Outcome<bool> applyBlockCommand(CellTexts &cells, BlockCommand command, const CellBlock &block,
                                const QString &percentText = {});

} // namespace korvel
