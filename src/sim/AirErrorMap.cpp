#include "sim/AirErrorMap.h"

#include "sim/SplitMix.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMaxRpm = 7500;
// A sharp spot falls off over about half a cell of the demo's grids.
constexpr double kSpotRpmWidth = 140;
constexpr double kSpotLoadWidth = 2.5;
} // namespace

AirErrorMap::AirErrorMap(std::uint32_t seed, double size) : m_size(std::clamp(size, 0.0, 0.5)) {
    std::uint64_t state = 0xA1EE0000ULL ^ seed;
    for (int i = 0; i < kWaves; ++i) {
        Wave &w = m_waves[static_cast<std::size_t>(i)];
        // Two to four waves along one axis, or across both.
        const int kind = i % 3;
        const double f1 = 2 + 2 * nextUnit(state);
        const double f2 = 2 + 2 * nextUnit(state);
        w.speedFrequency = kind == 1 ? 0 : f1;
        w.loadFrequency = kind == 0 ? 0 : f2;
        w.amplitude = 0.25 + 0.2 * nextUnit(state);
        w.phase = nextUnit(state) * kTwoPi;
    }
    for (Spot &s : m_spots) {
        s.rpm = 1200 + 3800 * nextUnit(state);
        s.load = 8 + 50 * nextUnit(state);
        s.height = (nextUnit(state) < 0.5 ? -1 : 1) * (0.6 + 0.4 * nextUnit(state));
    }
}

double AirErrorMap::errorAt(double rpm, double load) const {
    const double x = std::clamp(rpm / kMaxRpm, 0.0, 1.0);
    const double y = std::clamp(load / 100, 0.0, 1.0);
    double wave = 0;
    double amplitudes = 0;
    for (const Wave &w : m_waves) {
        wave += w.amplitude * std::sin(kTwoPi * (w.speedFrequency * x + w.loadFrequency * y) + w.phase);
        amplitudes += w.amplitude;
    }
    wave = 1.6 * wave / amplitudes; // most of the range without piling up at the limits
    for (const Spot &s : m_spots) {
        const double dx = (rpm - s.rpm) / kSpotRpmWidth;
        const double dy = (load - s.load) / kSpotLoadWidth;
        wave += s.height * std::exp(-(dx * dx + dy * dy));
    }
    return m_size * std::clamp(wave, -1.0, 1.0);
}

} // namespace korvel::sim
