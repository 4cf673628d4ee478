#include "sim/DriveModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace korvel::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kColdIdleSeconds = 45;
constexpr int kTrips = 12;
constexpr double kClutchInBelow = 12;    // km/h
constexpr double kDisplacement = 1.6e-3; // m^3
constexpr double kAirDensity = 1.19;     // kg/m^3 at 101.3 kPa
constexpr double kVolumetricEfficiency = 0.82;
constexpr double kFuelDensity = 0.745;       // kg/l
constexpr double kCarInjectorFlow = 2.6;     // mg/ms
constexpr double kCarInjectorDeadTime = 0.7; // ms
constexpr double kOxygenReadyAfter = 40;     // s
constexpr double kThrottleRateSpan = 0.1;    // s
// Engine speed per km/h in gears 1 to 5.
constexpr std::array<double, 5> kGearRatios{125, 72, 48, 36, 29};

// SplitMix64: a tiny generator whose output is the same on every platform
// (the standard distributions are not).
std::uint64_t splitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    double uniform(double low, double high) {
        m_state = splitMix(m_state);
        return low + (high - low) * double(m_state >> 11) * 0x1.0p-53;
    }

private:
    std::uint64_t m_state;
};

double clamp(double v, double low, double high) {
    return std::min(std::max(v, low), high);
}

double desiredIdleFor(double coolant) {
    return 1400 - clamp((coolant - 10) / 70, 0, 1) * 550;
}

double rpmFor(const DriveSegment &segment, double speed, double throttle, double idleTarget) {
    if (speed < kClutchInBelow && segment.kind != DriveSegment::Kind::Accelerate)
        return idleTarget;
    double floorRpm = 1600;
    if (segment.kind == DriveSegment::Kind::Accelerate)
        floorRpm = 1900 + throttle * 14;
    else if (segment.kind == DriveSegment::Kind::Decelerate)
        floorRpm = 1200;
    double rpm = speed * kGearRatios[0];
    for (double ratio : kGearRatios)
        if (speed * ratio >= floorRpm)
            rpm = speed * ratio;
    return clamp(rpm, idleTarget, 6200);
}

double openThrottlePressure(double rpm, double throttle) {
    return clamp(28 + 72 * (1 - std::exp(-throttle / 17)) - (rpm - 2000) * 0.002, 20, 100);
}

// The air the engine takes in at its speed and manifold pressure.
void breathe(EngineState &s) {
    s.airMass = kDisplacement * s.rpm / 2 * 60 * kVolumetricEfficiency * kAirDensity * s.manifoldPressure / 101.3;
    s.cyclicAir = s.rpm > 0 ? s.airMass * 1e6 / (120 * s.rpm) : 0;
}

} // namespace

EngineState DriveModel::steadyState(double rpm, double throttle, double pressure) {
    EngineState s;
    s.rpm = rpm;
    s.coolantTemp = 90;
    s.airTemp = 25;
    if (pressure > 0) {
        s.manifoldPressure = pressure;
        // The throttle that gives this pressure at this speed (for the enrichment flag).
        const double share = clamp((pressure - 28 + (rpm - 2000) * 0.002) / 72, 0, 0.999);
        s.throttle = clamp(-17 * std::log(1 - share), 0, 100);
    } else {
        s.throttle = throttle;
        s.manifoldPressure = openThrottlePressure(rpm, throttle);
    }
    breathe(s);
    s.afrTarget = 14.7;
    s.injPulse = s.cyclicAir / s.afrTarget / kCarInjectorFlow + kCarInjectorDeadTime;
    s.setFlag(EngineFlag::PowerEnrichment, s.throttle > 70);
    return s;
}

DriveModel::DriveModel(std::uint32_t seed) : m_seed(seed) {
    Random random(seed);
    m_ambient = random.uniform(5, 25);
    double t = 0;
    auto add = [&](DriveSegment s) {
        s.start = t;
        t += s.duration;
        m_segments.push_back(s);
    };
    using Kind = DriveSegment::Kind;
    add({Kind::Idle, 0, kColdIdleSeconds, 0, 0, 0, 0});
    m_loopStart = t;
    for (int trip = 0; trip < kTrips; ++trip) {
        const double v1 = random.uniform(30, 60);
        const double v2 = random.uniform(70, 110);
        const double v3 = random.uniform(25, 45);
        add({Kind::Accelerate, 0, v1 / random.uniform(4, 7), 0, v1, random.uniform(35, 70), 0});
        add({Kind::Cruise, 0, random.uniform(15, 35), v1, v1, 0, random.uniform(-0.3, 0.5)});
        add({Kind::Accelerate, 0, (v2 - v1) / random.uniform(2.5, 4), v1, v2, random.uniform(50, 95), 0});
        add({Kind::Cruise, 0, random.uniform(20, 40), v2, v2, 0, random.uniform(0, 1)});
        add({Kind::Decelerate, 0, (v2 - v3) / random.uniform(2.5, 4), v2, v3, 0, 0});
        add({Kind::Cruise, 0, random.uniform(10, 20), v3, v3, 0, random.uniform(-0.3, 0.3)});
        add({Kind::Decelerate, 0, v3 / random.uniform(3, 5), v3, 0, 0, 0});
        add({Kind::Idle, 0, random.uniform(8, 20), 0, 0, 0, 0});
    }
    m_loopLength = t - m_loopStart;
}

double DriveModel::wrapped(double seconds) const {
    seconds = std::max(seconds, 0.0);
    if (seconds < m_loopStart + m_loopLength)
        return seconds;
    return m_loopStart + std::fmod(seconds - m_loopStart, m_loopLength);
}

DriveSegment DriveModel::segmentAt(double seconds) const {
    const double t = wrapped(seconds);
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), t,
                               [](double value, const DriveSegment &s) { return value < s.start; });
    return *(it == m_segments.begin() ? it : std::prev(it));
}

double DriveModel::throttleAt(double seconds, const DriveSegment &segment, double speed) const {
    const double into = wrapped(seconds) - segment.start;
    switch (segment.kind) {
    case DriveSegment::Kind::Accelerate:
        return segment.throttle * std::min(1.0, into / 0.5);
    case DriveSegment::Kind::Cruise:
        return clamp(3 + speed * 0.17 + segment.load * 10 + 1.5 * std::sin(seconds / 5), 2, 60);
    default:
        return 0;
    }
}

bool DriveModel::knockAt(double seconds) const {
    const auto step = static_cast<std::uint64_t>(std::max(seconds, 0.0) * 4);
    return splitMix((std::uint64_t(m_seed) << 32) ^ step) % 100 < 6;
}

EngineState DriveModel::at(double seconds) const {
    using Kind = DriveSegment::Kind;
    const double t = std::max(seconds, 0.0);
    const DriveSegment segment = segmentAt(t);
    const double into = wrapped(t) - segment.start;
    const double fraction = segment.duration > 0 ? clamp(into / segment.duration, 0, 1) : 0;

    EngineState s;
    s.coolantTemp = m_ambient + (90 - m_ambient) * (1 - std::exp(-t / 260));
    s.airTemp = m_ambient + 12 * (1 - std::exp(-t / 400));
    s.desiredIdleRpm = desiredIdleFor(s.coolantTemp);

    switch (segment.kind) {
    case Kind::Idle:
        s.vehicleSpeed = 0;
        break;
    case Kind::Accelerate:
    case Kind::Decelerate:
        s.vehicleSpeed = segment.fromSpeed + (segment.toSpeed - segment.fromSpeed) * fraction;
        break;
    case Kind::Cruise:
        s.vehicleSpeed = std::max(0.0, segment.fromSpeed + std::sin(2 * kPi * into / 17));
        break;
    }
    s.throttle = throttleAt(t, segment, s.vehicleSpeed);
    // How fast the pedal moves: the ECU reacts to it before its air reading does.
    const double earlier = std::max(0.0, t - kThrottleRateSpan);
    if (earlier < t) {
        const DriveSegment before = segmentAt(earlier);
        const double beforeInto = wrapped(earlier) - before.start;
        const double beforeFraction = before.duration > 0 ? clamp(beforeInto / before.duration, 0, 1) : 0;
        double beforeSpeed = before.fromSpeed + (before.toSpeed - before.fromSpeed) * beforeFraction;
        if (before.kind == Kind::Cruise)
            beforeSpeed = std::max(0.0, before.fromSpeed + std::sin(2 * kPi * beforeInto / 17));
        s.throttleRate = (s.throttle - throttleAt(earlier, before, beforeSpeed)) / (t - earlier);
    }

    const double idleWobble = 15 * std::sin(2 * kPi * t / 3.1);
    s.rpm = rpmFor(segment, s.vehicleSpeed, s.throttle, s.desiredIdleRpm) + idleWobble;
    const bool closedThrottle = s.throttle < 0.5;
    const bool idle = closedThrottle && s.rpm < s.desiredIdleRpm + 250;
    const bool fuelCut = closedThrottle && !idle && s.rpm > s.desiredIdleRpm + 400 && s.coolantTemp > 30;
    const bool enrichment = s.throttle > 70;
    s.idleRpm = idle ? s.rpm : s.desiredIdleRpm;

    if (idle)
        s.manifoldPressure = 34 + 2 * std::sin(t);
    else if (fuelCut)
        s.manifoldPressure = 22;
    else
        s.manifoldPressure = openThrottlePressure(s.rpm, s.throttle);
    breathe(s);

    const bool oxygenReady = t >= kOxygenReadyAfter;
    const bool oxygenControl = oxygenReady && !fuelCut && !enrichment && s.coolantTemp > 40;
    s.afrTarget = enrichment ? 12.6 : std::max(12.0, 14.7 - std::max(0.0, 65 - s.coolantTemp) * 0.035);
    s.injCorrection = oxygenControl ? 1 + 0.015 * std::sin(0.07 * t) : 1.0;
    s.injPulse = fuelCut ? 0 : (s.cyclicAir / s.afrTarget / kCarInjectorFlow) * s.injCorrection + kCarInjectorDeadTime;
    s.fuelPerHour = fuelCut ? 0 : s.airMass / s.afrTarget / kFuelDensity * s.injCorrection;
    s.fuelPerDistance = s.vehicleSpeed >= 3 ? s.fuelPerHour * 100 / s.vehicleSpeed : 0;

    const bool knockZone = s.manifoldPressure > 75 && s.rpm < 4000;
    const bool knock = knockZone && knockAt(t);
    if (idle)
        s.ignition = 13 + 1.5 * std::sin(t);
    else if (fuelCut)
        s.ignition = 8;
    else
        s.ignition = clamp(8 + s.rpm / 180 - (s.manifoldPressure - 30) * 0.12, 5, 42);
    if (knock) {
        s.ignition -= 4;
        s.ignitionCorrection[splitMix(std::uint64_t(t * 4)) % 4] = -2;
    }

    auto oxygenAt = [&](double when) {
        if (fuelCut)
            return 0.05;
        if (enrichment)
            return 0.85;
        if (!oxygenControl)
            return oxygenReady ? 0.7 : 0.45;
        return 0.45 + 0.38 * std::sin(2 * kPi * 1.2 * when);
    };
    s.oxygenVoltage = oxygenAt(t);
    const double previousOxygen = oxygenAt(t - 0.1);
    s.oxygenChange = std::abs(s.oxygenVoltage - previousOxygen);

    s.batteryVoltage = 14.05 + 0.1 * std::sin(t / 7);
    s.idleValveDesired = 28 + std::max(0.0, 80 - s.coolantTemp) * 0.35;
    s.idleValveCurrent = s.idleValveDesired + (idle ? 1.5 * std::sin(t) : 0);
    s.cycleTime = std::min(65535.0, std::round(15e6 / std::max(s.rpm, 300.0)));
    s.injPhase = 270;
    s.throttleVoltage = 0.5 + s.throttle * 0.04;
    s.knockVoltage = 0.3 + s.rpm / 8000 + (knock ? 1.2 : 0);
    s.coolantVoltage = clamp(4.7 - (s.coolantTemp + 40) * 0.028, 0.2, 4.8);
    s.airTempVoltage = clamp(4.7 - (s.airTemp + 40) * 0.028, 0.2, 4.8);
    s.workPoint =
        static_cast<int>(std::min(15.0, s.rpm / 400)) * 16 + static_cast<int>(std::min(15.0, s.throttle / 6.25));

    s.setFlag(EngineFlag::Idle, idle);
    s.setFlag(EngineFlag::PowerEnrichment, enrichment);
    s.setFlag(EngineFlag::FuelCut, fuelCut);
    s.setFlag(EngineFlag::OxygenControl, oxygenControl);
    s.setFlag(EngineFlag::KnockZone, knockZone);
    s.setFlag(EngineFlag::CanisterPurge, s.coolantTemp > 60 && !idle && !fuelCut);
    s.setFlag(EngineFlag::KeepOxygenLearning, s.coolantTemp > 70);
    s.setFlag(EngineFlag::IdleLastCycle, idle);
    s.setFlag(EngineFlag::IdleExitLock, idle && s.vehicleSpeed < 1);
    s.setFlag(EngineFlag::KnockZoneLastCycle, knockZone);
    s.setFlag(EngineFlag::PurgeLastCycle, s.flag(EngineFlag::CanisterPurge));
    s.setFlag(EngineFlag::Knock, knock);
    s.setFlag(EngineFlag::OxygenPrevious, previousOxygen > 0.45);
    s.setFlag(EngineFlag::OxygenCurrent, s.oxygenVoltage > 0.45);
    s.setFlag(EngineFlag::OxygenReady, oxygenReady);
    s.setFlag(EngineFlag::OxygenHeating, true);
    return s;
}

} // namespace korvel::sim
