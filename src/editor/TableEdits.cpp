#include "editor/TableEdits.h"

#include "core/Numbers.h"
#include "core/ProgramLog.h"
#include "editor/CellText.h"
#include "firmware/CalibrationMap.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareStore.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

namespace korvel {
namespace {

QString &textAt(CellTexts &cells, const CellPos &p) {
    return cells[static_cast<std::size_t>(p.row - 1)][static_cast<std::size_t>(p.column - 1)];
}

bool inside(const CellTexts &cells, const CellPos &p) {
    return p.row >= 1 && static_cast<std::size_t>(p.row) <= cells.size() && p.column >= 1 &&
           static_cast<std::size_t>(p.column) <= cells[static_cast<std::size_t>(p.row - 1)].size();
}

// A corner as a grid column or row; a chart corner far off the table stays in int range.
int gridIndex(double x) {
    return static_cast<int>(truncated(x));
}

// Raw values far outside any cell type are cut before the integer conversion;
// the cell write wraps or clamps them anyway.
std::int64_t roundedRaw(double raw) {
    return static_cast<std::int64_t>(roundHalfEven(std::clamp(raw, -1.0e15, 1.0e15)));
}

} // namespace

double snapToStep(double y, double k) {
    if (k == 0 || !std::isfinite(y / k))
        return y;
    return roundHalfEven(y / k) * k;
}

int lineRow(const TableView &view, int s) {
    if (view.table.ref.kind == tablekind::OneDimensional)
        return 1;
    return view.depth ? view.table.rows + 1 - s : s;
}

std::vector<CellPos> chosenCells(const PointSelection &selection, const TableView &view) {
    std::vector<CellPos> cells;
    const int n = view.table.columns;
    const int m = view.table.rows;
    const bool curve = view.table.ref.kind == tablekind::OneDimensional;
    if (selection.source() == PointSelection::Source::Chart) {
        const int r = curve ? 1 : view.flatRow;
        if (r < 1 || r > m)
            return cells;
        // Positions strictly between the corners: Trunc(x1) + 1 .. the last below x2.
        for (int c = std::max(0, gridIndex(selection.x1())); c < n; ++c)
            if (selection.x1() < c && c < selection.x2())
                cells.push_back({c + 1, r});
        return cells;
    }
    const int top = curve ? 1 : std::max(1, gridIndex(selection.y1()));
    const int bottom = curve ? 1 : std::min(m, gridIndex(selection.y2()));
    for (int j = top; j <= bottom; ++j)
        for (int c = std::max(1, gridIndex(selection.x1())); c <= std::min(n, gridIndex(selection.x2())); ++c)
            cells.push_back({c, j});
    return cells;
}

Outcome<bool> applyRangeCommand(CellTexts &cells, RangeCommand command, const std::vector<CellPos> &chosen,
                                const QString &stepText) {
    double step = 0;
    if (command == RangeCommand::Lower || command == RangeCommand::Raise) {
        const Outcome<double> parsed = StrToFloat(stepText);
        if (!parsed)
            return Outcome<bool>::failure(parsed.error());
        step = parsed.value();
    }
    std::vector<CellPos> order = chosen;
    std::sort(order.begin(), order.end(),
              [](const CellPos &a, const CellPos &b) { return std::tie(a.row, a.column) < std::tie(b.row, b.column); });
    for (const CellPos &p : order) {
        if (!inside(cells, p))
            continue;
        QString &text = textAt(cells, p);
        if (command == RangeCommand::Accept) {
            text = stepText;
            continue;
        }
        if (command == RangeCommand::Smooth) {
            const CellPos left{p.column - 1, p.row};
            const CellPos right{p.column + 1, p.row};
            if (!inside(cells, left) || !inside(cells, right))
                continue; // only cells with both neighbours are smoothed
            const Outcome<double> a = StrToFloat(textAt(cells, left));
            const Outcome<double> b = StrToFloat(text);
            const Outcome<double> c = StrToFloat(textAt(cells, right));
            for (const auto *o : {&a, &b, &c})
                if (!*o)
                    return Outcome<bool>::failure(o->error());
            text = FloatToStr((a.value() + b.value() + c.value()) / 3);
            continue;
        }
        const Outcome<double> v = StrToFloat(text);
        if (!v)
            return Outcome<bool>::failure(v.error());
        text = FloatToStr(command == RangeCommand::Lower ? v.value() - step : v.value() + step);
    }
    return Outcome<bool>::success(true);
}

QString blockText(const CellTexts &cells, int left, int top, int right, int bottom) {
    QString text;
    for (int row = std::min(top, bottom); row <= std::max(top, bottom); ++row) {
        QStringList line;
        for (int column = std::min(left, right); column <= std::max(left, right); ++column) {
            const CellPos p{column, row};
            if (inside(cells, p))
                line << cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)];
        }
        if (!line.isEmpty())
            text += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

Outcome<int> pasteBlockText(CellTexts &cells, const CellPos &at, const QString &text, const CellPos &blockEnd) {
    if (!inside(cells, at))
        return Outcome<int>::failure(QStringLiteral("Вставка вне таблицы"));
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    if (body.trimmed().isEmpty())
        return Outcome<int>::failure(QStringLiteral("В буфере обмена нет ячеек"));
    std::vector<QStringList> rows;
    for (const QString &line : body.split(QLatin1Char('\n')))
        rows.push_back(line.split(QLatin1Char('\t')));
    const bool oneValue = rows.size() == 1 && rows.front().size() == 1;
    const bool oneColumn =
        rows.size() > 1 && std::all_of(rows.begin(), rows.end(), [](const QStringList &r) { return r.size() == 1; });
    if (oneValue) {
        // One value onto a selected block fills the block.
        const CellPos end{std::max(at.column, blockEnd.column), std::max(at.row, blockEnd.row)};
        rows.assign(static_cast<std::size_t>(end.row - at.row + 1),
                    QStringList(QList<QString>(end.column - at.column + 1, rows.front().front())));
    } else if (oneColumn && cells.size() == 1) {
        // A column from a spreadsheet onto a curve's one row lays all its values along it.
        QStringList along;
        for (const QStringList &r : rows)
            along << r.front();
        rows = {along};
    }
    int laid = 0;
    for (std::size_t j = 0; j < rows.size(); ++j)
        for (qsizetype i = 0; i < rows[j].size(); ++i) {
            const CellPos p{at.column + static_cast<int>(i), at.row + static_cast<int>(j)};
            const QString value = rows[j][i].trimmed();
            if (!inside(cells, p) || value.isEmpty())
                continue; // an empty spreadsheet cell leaves the cell as it is
            textAt(cells, p) = value;
            ++laid;
        }
    return Outcome<int>::success(laid);
}

Outcome<bool> clampCells(CellTexts &cells, const OpenTable &table) {
    CellTexts limited = cells;
    for (auto &row : limited)
        for (QString &text : row) {
            const Outcome<double> v = StrToFloat(text);
            if (!v)
                return Outcome<bool>::failure(v.error());
            text = FloatToStr(ClampToTableLimits(v.value(), table.minimum, table.maximum));
        }
    cells = std::move(limited);
    return Outcome<bool>::success(true);
}

std::optional<double> rawOfValue(double p, const OpenTable &table) {
    const TableConversion &c = table.descriptor.conversion;
    const double k = table.k;
    double raw = 0;
    if (c.d3 == 0) {
        if (k == 0)
            return std::nullopt;
        raw = (p + c.d2) / k + c.d5;
    } else {
        if (p + c.d2 == 0)
            return std::nullopt; // the value the conversion never reaches
        raw = c.d5 + c.d3 * k / (p + c.d2);
    }
    if (!std::isfinite(raw))
        return std::nullopt;
    return raw;
}

Outcome<WriteBack> writeBackGrid(const CellTexts &cells, const CellTexts &shown, const OpenTable &table,
                                 FirmwareStore &store, ProgramLog *log) {
    // Cells of a type the view does not read were shown as raw 0: writing them
    // back would overwrite the table with zeros.
    const int type = table.descriptor.conversion.cellType;
    if (type == celltype::HighByteOnly || !isKnownCellType(type))
        return Outcome<WriteBack>::failure(
            QStringLiteral("К сожалению выбранная  калибровка не поддерживается данным ПО."));

    struct CellWrite {
        QString address;
        std::int64_t raw;
    };
    std::vector<CellWrite> writes;
    WriteBack result;
    const std::int64_t base = table.descriptor.address;
    std::int64_t c = 0;
    for (int j = 0; j < table.rows && static_cast<std::size_t>(j) < cells.size(); ++j) {
        const auto &row = cells[static_cast<std::size_t>(j)];
        for (int i = 0; i < table.columns && static_cast<std::size_t>(i) < row.size(); ++i, ++c) {
            const Outcome<double> v = StrToFloat(row[static_cast<std::size_t>(i)]);
            if (!v)
                return Outcome<WriteBack>::failure(v.error());
            // A cell shown rounded and left alone keeps its raw value: its
            // text read back would move it to the nearest step of the rounding.
            const CellPos p{i + 1, j + 1};
            if (inside(shown, p)) {
                const Outcome<double> before =
                    StrToFloat(shown[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]);
                if (before && before.value() == v.value())
                    continue;
            }
            const double value = ClampToTableLimits(v.value(), table.minimum, table.maximum);
            const std::int64_t address = base + c * table.cellWidth;
            const std::optional<double> raw = rawOfValue(value, table);
            if (!raw) {
                ++result.kept;
                if (log)
                    log->append(QStringLiteral("Ячейка %1: у значения %2 нет кода, прежнее значение оставлено")
                                    .arg(IntToHexEven(address), FloatToStr(value)));
                continue;
            }
            const QString addressText = IntToHexEven(address);
            const std::int64_t rounded = roundedRaw(*raw);
            const Outcome<int> now = store.ReadCell(addressText, type);
            if (now && now.value() == rounded)
                continue; // the same raw value: nothing to write, no undo step
            writes.push_back({addressText, rounded});
        }
    }
    // Only a change is an undo step: a click that moved nothing must not push
    // a real edit out of the history.
    if (!writes.empty())
        store.pushUndoStep();
    for (const CellWrite &w : writes)
        if (store.storeCell(w.raw, type, w.address))
            ++result.written;
    return Outcome<WriteBack>::success(result);
}

} // namespace korvel
