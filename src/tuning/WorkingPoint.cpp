#include "tuning/WorkingPoint.h"

#include "core/Numbers.h"
#include "firmware/FirmwareImage.h"
#include "tuning/GridAxes.h"

#include <algorithm>
#include <cmath>

namespace korvel {
namespace {

int tableIndex(double value, int step) {
    if (!(value > 0) || step <= 0)
        return 0;
    return static_cast<int>(std::clamp(std::floor(value / step), 0.0, 255.0));
}

} // namespace

std::array<double, 4> interpolationWeights(int g, int b) {
    return {(16.0 - g) * (16.0 - b) / 256.0, b * (16.0 - g) / 256.0, g * (16.0 - b) / 256.0, b * g / 256.0};
}

WorkingPoint WorkingPointModel::compute(const GridAxes &axes, const OperatingPoint &point, bool byPressure) {
    WorkingPoint wp;
    const int speedPosition = axes.speedTable[static_cast<std::size_t>(tableIndex(point.rpm, axes.rpmStep))];
    wp.col = speedPosition >> 4;
    wp.speedFraction = speedPosition & 15;

    const int throttlePosition = axes.throttleTable[static_cast<std::size_t>(tableIndex(point.throttle, 1))];
    const int throttleRow = throttlePosition >> 4;
    const int throttleFraction = throttlePosition & 15;

    const auto &bp = axes.pressure;
    const float p = static_cast<float>(point.pressure);
    for (int k = 0; k < GridAxes::kPoints; ++k) {
        const float lower = k == 0 ? 0.0f : static_cast<float>(bp[static_cast<std::size_t>(k - 1)]);
        const float upper = static_cast<float>(bp[static_cast<std::size_t>(k)]);
        if (!(lower < p && p <= upper))
            continue;
        if (k == 0) {
            m_pressureRow = m_pressureFraction = 0;
        } else {
            m_pressureRow = std::min(k - 1, 15);
            m_pressureFraction = std::clamp(
                static_cast<int>(std::trunc((roundHalfEven(point.pressure) - lower) * 15 / (upper - lower))), 0, 15);
        }
        break;
    }

    wp.row = byPressure ? m_pressureRow : throttleRow;
    wp.loadFraction = byPressure ? m_pressureFraction : throttleFraction;
    const auto k = interpolationWeights(wp.loadFraction, wp.speedFraction);
    wp.k11 = k[0];
    wp.k12 = k[1];
    wp.k21 = k[2];
    wp.k22 = k[3];
    return wp;
}

InterpolatedCorrection interpolatedCorrection(const WorkingPoint &point, const FirmwareImage &image,
                                              std::int64_t table) {
    InterpolatedCorrection out{point, {}, 0, 0};
    const int q = point.index();
    const int offsets[] = {q, q + 1, q + 16, q + 17};
    const double weights[] = {point.k11, point.k12, point.k21, point.k22};
    for (std::size_t i = 0; i < 4; ++i) {
        out.corners[i] = image.byteAt(table + offsets[i]).value_or(0) / 128.0;
        out.weightSum += weights[i];
        out.correction += weights[i] * out.corners[i];
    }
    return out;
}

} // namespace korvel
