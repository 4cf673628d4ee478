#include "editor/HeatMap.h"

#include "core/Numbers.h"
#include "editor/CellText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvel {
namespace {

// The low 8 bits of a rounded number, as the colour channel takes them.
int lowByte(double x) {
    if (!std::isfinite(x))
        return 0;
    const double clipped = std::clamp(x, -9.0e15, 9.0e15);
    return static_cast<int>(static_cast<std::int64_t>(roundHalfEven(clipped)) & 0xFF);
}

double numberIn(const QString &text) {
    return StrToFloat(text).valueOr(0);
}

} // namespace

HeatStats heatStats(const CellTexts &cells) {
    HeatStats stats;
    if (cells.empty() || cells.front().empty() || cells.front().front().isEmpty())
        return stats;
    const double rows = static_cast<double>(cells.size());
    const double columns = static_cast<double>(cells.front().size());
    stats.minimum = stats.maximum = numberIn(cells.front().front());
    double sum = 0;
    for (const auto &row : cells)
        for (const QString &text : row) {
            if (text.isEmpty())
                continue;
            const double v = numberIn(text);
            stats.minimum = std::min(stats.minimum, v);
            stats.maximum = std::max(stats.maximum, v);
            sum += v;
        }
    const double area = rows * columns;
    stats.average = area == 0 ? sum : sum / area;
    // Grid column count = columns + 1, row count = rows + 1.
    if (columns + 1 <= 2)
        stats.factor = 255.0 / columns;
    else if (rows + 1 > 1)
        stats.factor = 255.0 / area;
    stats.coloured = stats.maximum != stats.average && stats.minimum != stats.average;
    return stats;
}

std::optional<int> heatColour(const HeatStats &stats, double value, int row, int flatRow) {
    if (!stats.coloured)
        return std::nullopt;
    if (flatRow > 0 && row == flatRow)
        return kFlatRowColour;
    const double avg = stats.average;
    if (value < avg)
        return rgb(lowByte(std::fabs(roundHalfEven(256 - 255 * stats.factor * (avg - value) / (avg - stats.minimum)))),
                   255, 0);
    if (value == avg)
        return rgb(255, 255, 0);
    return rgb(255, lowByte(255 * stats.factor * (stats.maximum - value) / (stats.maximum - avg)), 0);
}

} // namespace korvel
