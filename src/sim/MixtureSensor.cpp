#include "sim/MixtureSensor.h"

#include "sim/SplitMix.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

MixtureSensor::MixtureSensor(std::uint32_t seed, double noise) : m_noise(noise), m_noiseState(0x5E7500ULL ^ seed) {}

double MixtureSensor::transportDelay(double rpm) {
    return std::clamp(0.05 + 300 / std::max(rpm, 300.0), 0.08, 0.6);
}

double MixtureSensor::sample(double seconds, double rpm, double afr) {
    m_exhaust.emplace_back(seconds, afr);
    const double arrived = seconds - transportDelay(rpm);
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
    return m_reading * (1 + m_noise * draw * 2);
}

} // namespace korvel::sim
