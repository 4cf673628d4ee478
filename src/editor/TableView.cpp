#include "editor/TableView.h"

#include "core/Numbers.h"
#include "editor/CellText.h"
#include "editor/TableHeaders.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareStore.h"

#include <algorithm>

namespace korvel {
namespace {

inline constexpr int kRed = 0xFF0000;
inline constexpr int kYellow = 0xFFFF00;

std::vector<double> numbersOf(const std::vector<QString> &texts) {
    std::vector<double> values;
    values.reserve(texts.size());
    for (const QString &t : texts)
        values.push_back(StrToFloat(t).valueOr(0));
    return values;
}

QString cellText(const OpenTable &table, double physical) {
    if (table.ref.kind == tablekind::OneDimensional)
        return FloatToStr(physical);
    return FloatToStr(ClampToTableLimits(roundTo(physical, 2), table.minimum, table.maximum));
}

CellTexts readCells(const FirmwareStore &store, const OpenTable &table, int source) {
    CellTexts cells(static_cast<std::size_t>(table.rows));
    int c = 0;
    for (auto &row : cells) {
        row.reserve(static_cast<std::size_t>(table.columns));
        for (int i = 0; i < table.columns; ++i, ++c) {
            const int raw = tableCellRaw(store, table, c, source);
            row.push_back(cellText(table, RawToPhysical(raw, table.descriptor.conversion)));
        }
    }
    return cells;
}

void fillLine(ChartSeries &line, const std::vector<QString> &row, const QStringList &labels) {
    line.values = numbersOf(row);
    line.labels = labels;
}

void fillCurve(TableView &view, const DisplayOptions &options, bool comparing) {
    ChartSeries &line = view.series[0];
    if (!view.cells.empty())
        fillLine(line, view.cells.front(), view.columnHeaders);
    line.visible = true;
    line.colour = kRed;
    line.marks = options.marks;
    view.markAngle = 15 * options.markAngleStep;
    if (comparing && options.compare && !view.comparison.empty()) {
        view.second.values = numbersOf(view.comparison.front());
        view.second.colour = kYellow;
        view.second.visible = true;
    }
}

void fillMap(TableView &view, const DisplayOptions &options, bool comparing) {
    const int m = view.table.rows;
    for (int j = 1; j <= m; ++j) {
        const int s = m + 1 - j;
        if (s <= kLineSeries)
            fillLine(view.series[static_cast<std::size_t>(s - 1)], view.cells[static_cast<std::size_t>(j - 1)],
                     view.columnHeaders);
    }
    view.depth = options.depth;
    if (options.depth) {
        for (int s = 1; s <= 16; ++s) {
            ChartSeries &line = view.series[static_cast<std::size_t>(s - 1)];
            line.visible = s <= m;
            line.pointSymbols = false;
            line.colour = depthLineColour(s);
        }
        return;
    }
    if (m == 0)
        return;
    const int r = std::clamp(options.flatRow + 1, 1, m);
    view.flatRow = r;
    if (comparing && options.compare && !view.comparison.empty()) {
        view.second.values = numbersOf(view.comparison[static_cast<std::size_t>(r - 1)]);
        view.second.colour = kYellow;
        view.second.visible = true;
    }
    for (int s = 1; s <= 16; ++s)
        view.series[static_cast<std::size_t>(s - 1)] = ChartSeries{};
    view.markAngle = 10 * options.markAngleStep;
    if (r <= kLineSeries) {
        ChartSeries &line = view.series[static_cast<std::size_t>(r - 1)];
        fillLine(line, view.cells[static_cast<std::size_t>(r - 1)], view.columnHeaders);
        line.visible = true;
        line.marks = options.marks;
        line.colour = flatLineColour(r);
    }
    view.trackLabel = view.depthTitle + QStringLiteral(":") + view.rowHeaders.value(r - 1);
}

} // namespace

int depthLineColour(int s) {
    return s < 8 ? rgb(32 * s, 255, 0) : rgb(255, std::max(0, 255 - 28 * (s - 8)), 0);
}

int flatLineColour(int r) {
    return r < 8 ? rgb(255, 32 * r, 0) : rgb(std::max(0, 255 - 28 * (r - 8)), 255, 0);
}

int tableCellRaw(const FirmwareStore &store, const OpenTable &table, int cell, int source) {
    const int type = table.descriptor.conversion.cellType;
    if (type == celltype::HighByteOnly || !isKnownCellType(type))
        return 0;
    const std::int64_t address =
        static_cast<std::int64_t>(table.descriptor.address) + static_cast<std::int64_t>(cell) * table.cellWidth;
    if (!FirmwareImage::contains(address, table.cellWidth))
        return 0; // cells past the end of the image read as raw 0
    return store.ReadCell(IntToHexEven(address), type, source).valueOr(0);
}

Outcome<OpenTable> readOpenTable(const CalibrationMap &map, const TableRef &ref) {
    const Outcome<TableDescriptor> read = readTableDescriptor(map, ref.kind, ref.reference);
    if (!read)
        return Outcome<OpenTable>::failure(read.error());
    OpenTable t;
    t.ref = ref;
    t.descriptor = read.value();
    t.addressText = mapAddressText(t.descriptor.address);
    t.columns = t.descriptor.columns;
    t.rows = ref.kind == tablekind::TwoDimensional ? t.descriptor.rows : 1;
    t.k = conversionScale(t.descriptor.conversion);
    t.cellWidth = cellWidth(t.descriptor.conversion.cellType);
    const ValueRange range = PhysicalRange(t.descriptor.conversion);
    t.minimum = t.descriptor.minimum == 0 ? range.minimum : t.descriptor.minimum;
    t.maximum = t.descriptor.maximum == 0 ? range.maximum : t.descriptor.maximum;
    return Outcome<OpenTable>::success(t);
}

Outcome<TableView> buildTableView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store,
                                  const GridAxes &axes, const DisplayOptions &options) {
    if (ref.kind != tablekind::OneDimensional && ref.kind != tablekind::TwoDimensional)
        return Outcome<TableView>::failure(QStringLiteral("not a curve or a map"));
    const Outcome<OpenTable> open = readOpenTable(map, ref);
    if (!open)
        return Outcome<TableView>::failure(open.error());

    // Real tables are at most 32 x 32; a description promising more cells than
    // the image has bytes is broken and would only fill memory with zeros.
    if (static_cast<qint64>(open.value().columns) * open.value().rows > kFirmwareSize)
        return Outcome<TableView>::failure(
            QStringLiteral("Таблица больше прошивки: %1 x %2").arg(open.value().columns).arg(open.value().rows));
    TableView view;
    view.table = open.value();
    const TableDescriptor &d = view.table.descriptor;
    view.title = ref.nodeText;
    view.xTitle = d.xName;
    view.valueTitle = d.valueName;
    view.depthTitle = d.yName;
    view.xMinimum = std::min(d.xStart, d.xEnd);
    view.xMaximum = std::max(d.xStart, d.xEnd);
    view.xStep = d.columns > 1 ? (d.xEnd - d.xStart) / (d.columns - 1) : 0.0;
    const ValueRange range = PhysicalRange(d.conversion);
    view.valueMinimum = range.minimum;
    view.valueMaximum = range.maximum;
    view.unsupported = d.conversion.cellType == celltype::HighByteOnly;

    const int kind = ref.kind;
    view.columnHeaders = columnHeaders(kind, {d.xAxisCode, d.columns, d.xStart, d.xEnd}, axes);
    if (kind == tablekind::TwoDimensional)
        view.rowHeaders = rowHeaders({d.yAxisCode, d.rows, d.yStart, d.yEnd}, axes);

    view.cells = readCells(store, view.table, imagesource::Firmware);
    const bool comparing = store.ComparisonLoaded();
    if (comparing) {
        view.comparison = readCells(store, view.table, imagesource::Comparison);
        // Raw values: two cells that differ can show the same rounded text.
        const TableConversion &conversion = view.table.descriptor.conversion;
        int c = 0;
        view.compared.resize(static_cast<std::size_t>(view.table.rows));
        for (auto &line : view.compared)
            for (int i = 0; i < view.table.columns; ++i, ++c) {
                const int raw = tableCellRaw(store, view.table, c, imagesource::Firmware);
                const int other = tableCellRaw(store, view.table, c, imagesource::Comparison);
                line.push_back({RawToPhysical(raw, conversion), RawToPhysical(other, conversion), raw != other});
                view.changedCells += raw != other ? 1 : 0;
            }
    }
    if (kind == tablekind::OneDimensional)
        fillCurve(view, options, comparing);
    else
        fillMap(view, options, comparing);
    return Outcome<TableView>::success(view);
}

} // namespace korvel
