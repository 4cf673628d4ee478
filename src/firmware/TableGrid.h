#pragma once

#include "firmware/CalibrationMap.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Outcome.h"

#include <QStringList>

namespace korvel {

// The value texts of a one- or two-dimensional table as its grid shows them:
// `rows` rows of `columns` cells, row after row (a curve has one row).
struct TableGrid {
    int columns = 0;
    int rows = 0;
    QStringList cells;
    QString cell(int row, int column) const { return cells.value(row * columns + column); }
    friend bool operator==(const TableGrid &, const TableGrid &) = default;
};

// A grid value: up to 15 significant digits, '.' as decimal point, no
// thousands separator, "0" for zero of either sign.
QString gridValueText(double value);

// The grid of a kind-1 or kind-2 table read from the image: each raw cell
// converted to its physical value; a curve shows it as it is, a map rounded
// to two decimals and held inside the table's limits (a limit of 0 in the
// description is the end of the cell type's range). Cell type 6 and cells past
// the image's end read as raw 0. Refused for other kinds.
Outcome<TableGrid> readTableGrid(const FirmwareImage &image, const TableDescriptor &table);

} // namespace korvel
