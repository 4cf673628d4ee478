#pragma once

#include <cstdint>

namespace korvel::sim {

// The hidden error of the ECU's air measurement against the engine's true air:
// a smooth, seeded surface over engine speed and throttle, within ±size
// (0.15 = ±15 %). The same seed always gives the same surface.
class AirErrorMap {
public:
    explicit AirErrorMap(std::uint32_t seed = 1, double size = 0.15);

    // Measured air = true air x (1 + error).
    double errorAt(double rpm, double throttle) const;
    double size() const { return m_size; }

private:
    double m_size;
    double m_phase[4]{};
    double m_frequency[4]{};
};

} // namespace korvel::sim
