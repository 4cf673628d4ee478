// A table import file (.kv): any bytes, decoded as the program reads text
// files, checked against an open table of the size the input picks.
#include "FuzzCheck.h"
#include "core/TextFile.h"
#include "firmware/KvFile.h"

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Input in(data, size);
    const int columns = in.byte() % 33;
    const int rows = in.byte() % 33;
    const TextLines file = decodeLines(in.rest());
    // The header's own SWID and name, so that the fuzzer reaches the cells.
    const QString swid = file.lines.value(2);
    const QString name = file.lines.value(3);
    const Outcome<TableGrid> grid = kvImportGrid(file.lines, swid, name, columns, rows);
    if (grid) {
        require(grid.value().columns == columns && grid.value().rows == rows, "the open table's size");
        require(grid.value().cells.size() == columns * rows, "a cell for each cell");
    }
    require(!kvImportGrid(file.lines, swid + QLatin1Char('x'), name, columns, rows), "another image's file is refused");
    return 0;
}
