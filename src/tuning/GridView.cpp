#include "tuning/GridView.h"

#include "core/Numbers.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningSettings.h"

#include <algorithm>

namespace korvel {
namespace {

constexpr int kCells = 16;

template <std::size_t N> int viewWindowIndex(double v, const std::array<float, N> &bounds, double stationarity) {
    for (int i = 0; i < kCells; ++i)
        if (cellWindowContains(v, bounds[static_cast<std::size_t>(i)], bounds[static_cast<std::size_t>(i + 1)],
                               stationarity))
            return i;
    return -1;
}

// c in 0..16 with bp[c − 1] (0 before the first) below the value and bp[c] above it.
template <std::size_t N> int intervalIndex(double v, const std::array<int, N> &bp, bool upperInclusive) {
    for (int c = 0; c <= kCells; ++c) {
        const double lower = c == 0 ? 0.0 : bp[static_cast<std::size_t>(c - 1)];
        const double upper = bp[static_cast<std::size_t>(c)];
        const bool inside = upperInclusive ? lower < v && v <= upper : lower <= v && v < upper;
        if (inside)
            return c;
    }
    return -1;
}

// Grid columns max(c, 1) to c + 1 of the data rows 1..16, as 0-based cells.
std::pair<int, int> blockSpan(int c) {
    const int first = std::max(c, 1) - 1;
    const int last = std::min(c + 1, kCells) - 1;
    return {first, last - first + 1};
}

} // namespace

std::optional<GridHighlight> highlightedCell(const GridAxes &axes, int kind, const GridPosition &at,
                                             const TuningSettings &s) {
    const int col = viewWindowIndex(at.rpm, axes.rpmBounds, s.stationaryRpm);
    if (col < 0)
        return std::nullopt;
    int row = -1;
    if (kind == 3) {
        for (int k = 0; k < kCells && row < 0; ++k)
            if (cellWindowContains(at.cyclicAir, axes.airLowerBound(k), axes.air[static_cast<std::size_t>(k)],
                                   s.stationaryLoad))
                row = k;
    } else {
        row = kind == 1 ? viewWindowIndex(at.throttle, axes.throttleBounds, s.stationaryLoad)
                        : viewWindowIndex(at.pressure, axes.pressureBounds, s.stationaryLoad);
    }
    if (row < 0)
        return std::nullopt;
    return GridHighlight{row, col, 1, 1};
}

std::optional<GridHighlight> fourPointBlock(const GridAxes &axes, int kind, const GridPosition &at) {
    const bool upper = kind != 1;
    const int c = intervalIndex(at.rpm, axes.rpm, upper);
    int r = -1;
    if (kind == 1)
        r = intervalIndex(at.throttle, axes.throttle, false);
    else if (kind == 2)
        r = intervalIndex(at.pressure, axes.pressure, true);
    else
        r = intervalIndex(at.cyclicAir, axes.air, true);
    if (c < 0 || r < 0)
        return std::nullopt;
    const auto [col, cols] = blockSpan(c);
    const auto [row, rows] = blockSpan(r);
    return GridHighlight{row, col, rows, cols};
}

GridValueScale valueRange(const std::array<double, 256> &values, bool firstShowsZero) {
    GridValueScale range;
    if (!firstShowsZero)
        range.max = range.min = values[0];
    for (double v : values) {
        range.max = std::max(range.max, v);
        range.min = std::min(range.min, v);
    }
    range.avg = (range.max + range.min) / 2;
    return range;
}

std::optional<CellColour> cellColour(const TuningCell &cell, const CellColourInputs &in) {
    if (in.selected)
        return kSelectedColour;
    std::optional<CellColour> colour;
    if ((in.gridKind == 1 && !in.byPressure) || (in.gridKind == 2 && in.byPressure)) {
        if (cell.applied > 0)
            colour = kPaleGreen;
        if (cell.applied > 7)
            colour = kGreen;
        if (cell.applied > 1 && cell.meanCoef > 0.991f && cell.meanCoef < 1.009f)
            colour = kGreen;
        if (cell.applied > 0 && cell.meanCoef == TuningCell::kNotEvaluated)
            colour = kPaleYellow;
    }
    if (in.gridKind == 3) {
        if (cell.phaseCount > 0)
            colour = kPaleGreen;
        if (cell.phaseCount > 7)
            colour = kGreen;
    }
    const GridValueScale &r = in.range;
    if (in.gradient && r.max != r.avg && r.avg != r.min) {
        if (in.value >= r.avg)
            colour = CellColour{
                255, std::clamp(static_cast<int>(roundHalfEven(255 * (r.max - in.value) / (r.max - r.avg))), 0, 255),
                0};
        else
            colour = CellColour{
                std::clamp(static_cast<int>(roundHalfEven(255 * (in.value - r.min) / (r.avg - r.min))), 0, 255), 255,
                0};
    }
    return colour;
}

std::optional<QStringList> minMaxLabels(const GridValueScale &r, bool showMinMax) {
    if (!showMinMax || (r.avg == r.max && r.avg == r.min))
        return std::nullopt;
    return QStringList{QStringLiteral(" Максимум:[ ") + fixedDecimal(r.max, 2) + QStringLiteral(" ]"),
                       QStringLiteral(" Среднее :[ ") + fixedDecimal(r.avg, 2) + QStringLiteral(" ]"),
                       QStringLiteral(" Минимум  :[ ") + fixedDecimal(r.min, 2) + QStringLiteral(" ]")};
}

} // namespace korvel
