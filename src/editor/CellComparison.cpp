#include "editor/CellComparison.h"

#include "core/Numbers.h"
#include "editor/CellText.h"

#include <cmath>

namespace korvel {
namespace {

inline const QString kNoPercentBase = QStringLiteral("—");

QString signedNumber(double x) {
    if (x == 0)
        return QStringLiteral("0"); // also a difference that rounds to -0
    const QString text = FloatToStr(x);
    return x > 0 ? QStringLiteral("+") + text : text;
}

} // namespace

QString differenceText(const CellComparison &cell, CellShow show) {
    const double difference = cell.value - cell.other;
    if (show == CellShow::DifferencePercent) {
        if (difference == 0)
            return QStringLiteral("0 %");
        if (cell.other == 0)
            return kNoPercentBase;
        return signedNumber(roundTo(100.0 * difference / std::abs(cell.other), 1)) + QStringLiteral(" %");
    }
    return signedNumber(roundTo(difference, 3));
}

const CellComparison *drawnComparison(const TableView &view, const DisplayOptions &options, int column, int row) {
    if (!options.compare || row < 1 || column < 1 || static_cast<std::size_t>(row) > view.compared.size())
        return nullptr;
    const auto &line = view.compared[static_cast<std::size_t>(row - 1)];
    return static_cast<std::size_t>(column) <= line.size() ? &line[static_cast<std::size_t>(column - 1)] : nullptr;
}

QString shownCellText(const TableView &view, const DisplayOptions &options, int column, int row) {
    if (row < 1 || column < 1 || static_cast<std::size_t>(row) > view.cells.size())
        return {};
    const auto &line = view.cells[static_cast<std::size_t>(row - 1)];
    if (static_cast<std::size_t>(column) > line.size())
        return {};
    const CellComparison *compared = drawnComparison(view, options, column, row);
    if (!compared || options.cellShow == CellShow::Value)
        return line[static_cast<std::size_t>(column - 1)];
    return differenceText(*compared, options.cellShow);
}

} // namespace korvel
