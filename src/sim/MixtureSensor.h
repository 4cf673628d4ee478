#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace korvel::sim {

// The exhaust between the cylinders and the wideband sensor, and the
// controller that reads it: the mixture reaches the sensor after a transport
// delay (about 80 ms at 6000 rpm under load, up to 400 ms at idle), the sensor
// follows it with a first-order lag and reads it with a little noise. The
// controller sends nothing while its heater warms up and falls silent now and
// then for a moment (seeded dropouts). Time is given by the caller, so a
// virtual clock drives it as well.
class MixtureSensor {
public:
    struct Behaviour {
        double noise = 0.003;        // relative, about one standard deviation
        double warmUpSeconds = 0;    // silent from the start for this long
        double dropoutShare = 0;     // share of 20 s stretches with one dropout, 0..1
        double dropoutSeconds = 1.5; // how long a dropout lasts
    };

    explicit MixtureSensor(std::uint32_t seed = 1, double noise = 0.003);
    MixtureSensor(std::uint32_t seed, Behaviour behaviour);

    // Seconds from the cylinders to the sensor at an engine speed and a load
    // (manifold pressure over atmospheric, 0..1): faster exhaust, shorter delay.
    static double transportDelay(double rpm, double load = 0.5);
    static constexpr double kLagSeconds = 0.1;

    // The engine produced `afr` at `seconds`; returns what the sensor reads then.
    double sample(double seconds, double rpm, double afr, double load = 0.5);
    // Whether the controller sends a reading at `seconds`.
    bool sending(double seconds) const;

private:
    std::deque<std::pair<double, double>> m_exhaust; // (time, mixture) on the way to the sensor
    double m_reading = 0;
    double m_lastTime = 0;
    Behaviour m_behaviour;
    std::uint32_t m_seed;
    std::uint64_t m_noiseState;
};

} // namespace korvel::sim
