#pragma once

#include <array>
#include <cstdint>

namespace korvel::sim {

// The hidden error of the ECU's air estimate against the engine's true air,
// over engine speed and load (throttle percent, or the pressure's share of
// its range as a percent): several seeded waves across each axis and a few
// sharp spots about one cell wide, within ±size (0.15 = ±15 %). The same seed
// always gives the same surface.
class AirErrorMap {
public:
    explicit AirErrorMap(std::uint32_t seed = 1, double size = 0.15);

    // Measured air = true air x (1 + error).
    double errorAt(double rpm, double load) const;
    double size() const { return m_size; }

    static constexpr int kWaves = 6;
    static constexpr int kSpots = 4;

private:
    struct Wave {
        double amplitude, speedFrequency, loadFrequency, phase;
    };
    struct Spot {
        double rpm, load, height;
    };
    double m_size;
    std::array<Wave, kWaves> m_waves{};
    std::array<Spot, kSpots> m_spots{};
};

} // namespace korvel::sim
