#pragma once

#include "editor/TableEdits.h"
#include "editor/TableView.h"
#include "firmware/Outcome.h"

#include <QString>

namespace korvel {

// Blocks with their breakpoints for the clipboard, as spreadsheets take them:
// the first row holds a corner naming the axes ("Y \ X", a curve's X name,
// or "Оси") and the block's column headers, and every further row begins
// with its row header (a curve's one row with its value name).
QString blockTextWithAxes(const TableView &view, int left, int top, int right, int bottom);

struct PasteReport {
    int laid = 0;
    bool withAxes = false; // the text began with a header row and column
    CellPos at;            // where its first value went
};

// Lays clipboard text into the grid with its first value at `at`, as a plain
// paste does (`blockEnd` included); a block with axes leaves its header row
// and column out, so that a block can go to any place of the table, as a
// block without them. Refused, nothing changed, as a plain paste is.
Outcome<PasteReport> pasteBlockWithAxes(CellTexts &cells, const CellPos &at, const QString &text,
                                        const CellPos &blockEnd = {});

// A line for the program log that says what the paste found and did.
QString pasteReportText(const PasteReport &report);

} // namespace korvel
