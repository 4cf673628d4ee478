#include "firmware/TableGrid.h"
#include "core/Bytes.h"

#include "core/Numbers.h"
#include "firmware/CellType.h"

namespace korvel {
namespace {

// The raw value of one cell; 0 where the cell does not lie inside the image
// (a description may put a table near the end) and for cell types without a value.
int rawCell(const FirmwareImage &image, qint64 address, int cellType) {
    if (!isKnownCellType(cellType) || cellType == celltype::HighByteOnly ||
        !FirmwareImage::contains(address, cellWidth(cellType)))
        return 0;
    const int first = image.byteAt(address).value_or(0);
    const int second = cellWidth(cellType) == 2 ? image.byteAt(address + 1).value_or(0) : 0;
    switch (cellType) {
    case celltype::Signed8:
        return signed8(first);
    case celltype::Unsigned16Le:
        return second * 256 + first;
    case celltype::Signed16Le:
        return signed16(second * 256 + first);
    case celltype::Unsigned16Be:
        return first * 256 + second;
    case celltype::Signed16Be:
        return signed16(first * 256 + second);
    default:
        return first;
    }
}

} // namespace

QString gridValueText(double value) {
    return value == 0.0 ? QStringLiteral("0") : QString::number(value, 'g', 15);
}

Outcome<TableGrid> readTableGrid(const FirmwareImage &image, const TableDescriptor &table) {
    if (table.kind != tablekind::OneDimensional && table.kind != tablekind::TwoDimensional)
        return Outcome<TableGrid>::failure(QStringLiteral("Таблица типа %1 не показывается сеткой").arg(table.kind));
    TableConversion conversion = table.conversion;
    conversion.kind = table.kind;
    const ValueRange range = PhysicalRange(conversion);
    const double minimum = table.minimum == 0 ? range.minimum : table.minimum;
    const double maximum = table.maximum == 0 ? range.maximum : table.maximum;

    TableGrid grid;
    grid.columns = table.columns;
    grid.rows = table.kind == tablekind::OneDimensional ? 1 : table.rows;
    const int width = cellWidth(conversion.cellType);
    qint64 address = table.address;
    for (int cell = 0; cell < grid.columns * grid.rows; ++cell, address += width) {
        const double physical = RawToPhysical(rawCell(image, address, conversion.cellType), conversion);
        grid.cells.append(table.kind == tablekind::OneDimensional
                              ? gridValueText(physical)
                              : gridValueText(ClampToTableLimits(roundTo(physical, 2), minimum, maximum)));
    }
    return Outcome<TableGrid>::success(grid);
}

} // namespace korvel
