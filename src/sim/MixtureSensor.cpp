#include "sim/MixtureSensor.h"

#include "sim/SplitMix.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

namespace {
constexpr double kShortestDelay = 0.08;
constexpr double kLongestDelay = 0.4;
// Exhaust volume to the sensor over the gas flow: rpm x (0.3 + 0.7 load).
constexpr double kDelayScale = 260;
constexpr double kDropoutStretch = 20; // s
} // namespace

MixtureSensor::MixtureSensor(std::uint32_t seed, double noise) : MixtureSensor(seed, Behaviour{noise}) {}

MixtureSensor::MixtureSensor(std::uint32_t seed, Behaviour behaviour)
    : m_behaviour(behaviour), m_seed(seed), m_noiseState(0x5E7500ULL ^ seed) {}

double MixtureSensor::transportDelay(double rpm, double load) {
    const double flow = std::max(rpm, 300.0) * (0.3 + 0.7 * std::clamp(load, 0.0, 1.0));
    return std::clamp(kDelayScale / flow, kShortestDelay, kLongestDelay);
}

bool MixtureSensor::sending(double seconds) const {
    if (seconds < m_behaviour.warmUpSeconds)
        return false;
    if (m_behaviour.dropoutShare <= 0)
        return true;
    const auto stretch = static_cast<std::uint64_t>(std::max(seconds, 0.0) / kDropoutStretch);
    std::uint64_t state = (std::uint64_t(m_seed) << 32) ^ (stretch * 0x9E37ULL) ^ 0xD40F0000ULL;
    if (nextUnit(state) >= m_behaviour.dropoutShare)
        return true;
    const double start = stretch * kDropoutStretch + nextUnit(state) * (kDropoutStretch - m_behaviour.dropoutSeconds);
    return seconds < start || seconds >= start + m_behaviour.dropoutSeconds;
}

double MixtureSensor::sample(double seconds, double rpm, double afr, double load) {
    m_exhaust.emplace_back(seconds, afr);
    const double arrived = seconds - transportDelay(rpm, load);
    double atSensor = m_exhaust.front().second;
    while (m_exhaust.size() > 1 && m_exhaust[1].first <= arrived) {
        m_exhaust.pop_front();
        atSensor = m_exhaust.front().second;
    }
    if (m_reading <= 0) {
        m_reading = atSensor;
    } else {
        const double step = std::max(0.0, seconds - m_lastTime);
        m_reading += (atSensor - m_reading) * (1 - std::exp(-step / kLagSeconds));
    }
    m_lastTime = seconds;
    // Roughly normal noise from the sum of three uniform draws.
    const double draw = nextUnit(m_noiseState) + nextUnit(m_noiseState) + nextUnit(m_noiseState) - 1.5;
    return m_reading * (1 + m_behaviour.noise * draw * 2);
}

} // namespace korvel::sim
