#include "firmware/CellConversion.h"

#include "firmware/CellType.h"

#include <algorithm>

namespace korvel {
namespace {

double linear(double raw, const TableConversion &t) {
    return (raw - t.d5) * conversionScale(t) - t.d2;
}

} // namespace

double conversionScale(const TableConversion &table) {
    return table.d1 == 0 ? table.d4 : table.d4 / table.d1;
}

double RawToPhysical(double raw, const TableConversion &table) {
    const double k = conversionScale(table);
    if (table.kind == 3) {
        const double v = linear(raw, table);
        return table.d3 != 0 && v != 0 ? table.d3 * k * k / v : v;
    }
    if (table.d3 == 0)
        return linear(raw, table);
    if (raw == table.d5)
        return 0;
    return table.d3 / (raw - table.d5) * k - table.d2;
}

ValueRange PhysicalRange(const TableConversion &table) {
    if (table.kind == 3 && table.d3 != 0)
        return {0, table.d3 * conversionScale(table)};
    const RawRange raw = rawRange(table.cellType);
    const double a = linear(static_cast<double>(raw.minimum), table);
    const double b = linear(static_cast<double>(raw.maximum), table);
    return {std::min(a, b), std::max(a, b)};
}

double ClampToTableLimits(double x, double minimum, double maximum) {
    if (minimum > x)
        return minimum;
    return x <= maximum ? x : maximum;
}

} // namespace korvel
