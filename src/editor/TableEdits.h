#pragma once

#include "editor/HeatMap.h"
#include "editor/PointSelection.h"
#include "editor/TableView.h"
#include "firmware/Outcome.h"

#include <optional>
#include <vector>

namespace korvel {

class FirmwareStore;
class ProgramLog;

// The edit operations on the grid of a curve or map. The grid's texts are the
// edit buffer: a gesture changes texts, then the cells whose value it changed
// are written into the image and the table is read again.

struct CellPos {
    int column = 0; // data column from 1
    int row = 0;    // data row from 1
    friend bool operator==(const CellPos &, const CellPos &) = default;
};

// A dragged value snapped to the nearest multiple of k (ties to even).
double snapToStep(double y, double k);

// The grid row that chart line `s` (from 1) shows: row 1 of a curve, row s of
// a flat map, row M + 1 - s of a map drawn in depth.
int lineRow(const TableView &view, int s);

// The cells a range command changes. From the chart: the points strictly
// between the corners, in the curve's row or the flat map's row. From the
// grid: the selected block, bounds included.
std::vector<CellPos> chosenCells(const PointSelection &selection, const TableView &view);

enum class RangeCommand {
    Smooth, // mean of the cell and its two neighbours, left to right in place
    Lower,  // minus the step
    Raise,  // plus the step
    Accept, // set to the step's text
};

// Changes the chosen cells of the grid; a step or cell that is not a number refuses it.
Outcome<bool> applyRangeCommand(CellTexts &cells, RangeCommand command, const std::vector<CellPos> &chosen,
                                const QString &stepText);

// A block of cells (bounds included, from 1) as text for the clipboard: a tab
// between columns, a line break after each row, as spreadsheets exchange it.
QString blockText(const CellTexts &cells, int left, int top, int right, int bottom);

// Lays clipboard text into the grid with its first cell at `at`; what falls
// outside the grid is dropped, and an empty cell of the text leaves its grid
// cell as it is. One value fills the block from `at` to `blockEnd`; a single
// column pasted onto a curve is laid along its row. Refused, nothing changed,
// when the text holds no cell or `at` lies outside the grid. Returns the cells laid.
Outcome<int> pasteBlockText(CellTexts &cells, const CellPos &at, const QString &text, const CellPos &blockEnd = {});

// Every cell limited to the table's minimum and maximum; refused (nothing
// changed) when a cell holds no number.
Outcome<bool> clampCells(CellTexts &cells, const OpenTable &table);

// The raw value of a shown value by the inverse of the view's conversion;
// nothing when it has none (a reciprocal table at -D2, a zero scale).
std::optional<double> rawOfValue(double p, const OpenTable &table);

struct WriteBack {
    int written = 0;
    int kept = 0; // cells whose value has no raw value: their raw value stays
};

// Writes into the image the cells whose value differs from what the table
// showed (`shown`, the texts as last read from the image), limited to the
// table's minimum and maximum, as one undo step: one copy before the first
// cell, none per cell, and none at all when no raw value changes. Cells the
// edit left alone keep their raw bytes. Refused before anything is written
// when a cell holds no number. Kept cells are logged.
Outcome<WriteBack> writeBackGrid(const CellTexts &cells, const CellTexts &shown, const OpenTable &table,
                                 FirmwareStore &store, ProgramLog *log);

} // namespace korvel
