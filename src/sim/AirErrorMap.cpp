#include "sim/AirErrorMap.h"

#include "sim/SplitMix.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMaxRpm = 7500;
} // namespace

AirErrorMap::AirErrorMap(std::uint32_t seed, double size) : m_size(std::clamp(size, 0.0, 0.5)) {
    std::uint64_t state = 0xA1EE0000ULL ^ seed;
    for (int i = 0; i < 4; ++i) {
        m_phase[i] = nextUnit(state) * kTwoPi;
        m_frequency[i] = 0.5 + nextUnit(state); // under two waves over an axis: smooth across cells
    }
}

double AirErrorMap::errorAt(double rpm, double throttle) const {
    const double x = std::clamp(rpm / kMaxRpm, 0.0, 1.0);
    const double y = std::clamp(throttle / 100, 0.0, 1.0);
    const double wave = 0.45 * std::sin(kTwoPi * m_frequency[0] * x + m_phase[0]) +
                        0.35 * std::sin(kTwoPi * m_frequency[1] * y + m_phase[1]) +
                        0.20 * std::sin(kTwoPi * (m_frequency[2] * x + m_frequency[3] * y) + m_phase[2]);
    return m_size * std::clamp(wave, -1.0, 1.0);
}

} // namespace korvel::sim
