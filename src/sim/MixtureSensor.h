#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace korvel::sim {

// The exhaust between the cylinders and the wideband sensor: the mixture
// reaches the sensor after a transport delay (shorter at high engine speed),
// the sensor follows it with a first-order lag and reads it with a little
// noise. Time is given by the caller, so a virtual clock drives it as well.
class MixtureSensor {
public:
    explicit MixtureSensor(std::uint32_t seed = 1, double noise = 0.003);

    static double transportDelay(double rpm); // s
    static constexpr double kLagSeconds = 0.1;

    // The engine produced `afr` at `seconds`; returns what the sensor reads then.
    double sample(double seconds, double rpm, double afr);

private:
    std::deque<std::pair<double, double>> m_exhaust; // (time, mixture) on the way to the sensor
    double m_reading = 0;
    double m_lastTime = 0;
    double m_noise;
    std::uint64_t m_noiseState;
};

} // namespace korvel::sim
