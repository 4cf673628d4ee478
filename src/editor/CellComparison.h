#pragma once

#include "editor/TableView.h"

#include <QString>

namespace korvel {

// The grid against the comparison firmware: which cells are marked as
// different and what a cell shows when the difference is asked for.

// The difference of one cell from the comparison: absolute ("+0.5", "-2",
// "0") to three decimals, or in percent of the comparison value ("+5 %") to
// one decimal; a percentage of a comparison value 0 has no base ("—").
QString differenceText(const CellComparison &cell, CellShow show);

// The comparison of data cell (column, row), both from 1, while it is drawn:
// a comparison firmware loaded and `vs` ticked. Nothing otherwise.
const CellComparison *drawnComparison(const TableView &view, const DisplayOptions &options, int column, int row);

// What the grid shows in the cell: its value, or its difference while the
// comparison is drawn and a difference is asked for.
QString shownCellText(const TableView &view, const DisplayOptions &options, int column, int row);

} // namespace korvel
