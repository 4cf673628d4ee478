#include "core/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace korvel {

double roundHalfEven(double value) {
    return std::nearbyint(value);
} // default FE_TONEAREST is ties-to-even

double roundTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return roundHalfEven(value * scale) / scale;
}

QString shortestDecimal(double value) {
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0.0
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return QString::fromLatin1(buf, static_cast<qsizetype>(result.ptr - buf));
}

QString fixedDecimal(double value, int decimals) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buf, static_cast<qsizetype>(result.ptr - buf));
}

long truncated(double value) {
    return std::isfinite(value) ? static_cast<long>(std::trunc(std::clamp(value, -1e9, 1e9))) : 0;
}

} // namespace korvel
