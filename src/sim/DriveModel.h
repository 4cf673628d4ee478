#pragma once

#include "sim/EngineState.h"

#include <cstdint>
#include <vector>

namespace korvel::sim {

// One manoeuvre of the simulated drive.
struct DriveSegment {
    enum class Kind { Idle, Accelerate, Cruise, Decelerate };
    Kind kind = Kind::Idle;
    double start = 0;     // s since the engine started
    double duration = 0;  // s
    double fromSpeed = 0; // km/h
    double toSpeed = 0;
    double throttle = 0; // percent, while accelerating
    double load = 0;     // extra load while cruising (hills, wind), -0.3 to 1
};

// A seeded, repeatable drive: the engine starts cold and idles, then trips of
// accelerations, cruises at several speeds and loads, decelerations with fuel
// cut and idle stops repeat while the coolant warms up. The same seed always
// gives the same states at the same times.
class DriveModel {
public:
    explicit DriveModel(std::uint32_t seed = 1);

    EngineState at(double seconds) const;
    // A warm engine held steady at an engine speed and a throttle opening, or,
    // when `pressure` (kPa) is above 0, at that manifold pressure.
    static EngineState steadyState(double rpm, double throttle, double pressure = 0);
    DriveSegment segmentAt(double seconds) const;
    double ambientTemp() const { return m_ambient; }

private:
    double wrapped(double seconds) const;
    bool knockAt(double seconds) const;
    double throttleAt(double seconds, const DriveSegment &segment, double speed) const;

    std::uint32_t m_seed;
    double m_ambient = 15;
    std::vector<DriveSegment> m_segments;
    double m_loopStart = 0;
    double m_loopLength = 0;
};

} // namespace korvel::sim
