#pragma once

#include <array>
#include <cstdint>

namespace korvel::sim {

// The ECU's status flags, numbered as the diagnostic frame carries them.
enum class EngineFlag : int {
    EngineOff = 1,
    Idle = 2,
    PowerEnrichment = 3,
    FuelCut = 4,
    OxygenControl = 5,
    KnockZone = 6,
    CanisterPurge = 7,
    KeepOxygenLearning = 8,
    IdleLastCycle = 9,
    IdleExitLock = 10,
    KnockZoneLastCycle = 11,
    PurgeLastCycle = 12,
    Knock = 13,
    OxygenPrevious = 14,
    OxygenCurrent = 15,
    OxygenReady = 16,
    OxygenHeating = 17,
};

// What the engine is doing at one moment, in physical units. The diagnostic
// frames are encoded from it and the wideband controller measures its mixture.
struct EngineState {
    double rpm = 0;
    double idleRpm = 0; // the ECU's idle speed reading
    double desiredIdleRpm = 0;
    double throttle = 0;         // percent
    double throttleRate = 0;     // percent per second, positive while opening
    double manifoldPressure = 0; // kPa
    double coolantTemp = 0;      // deg C
    double airTemp = 0;          // deg C
    double vehicleSpeed = 0;     // km/h
    double batteryVoltage = 0;   // V
    double injPulse = 0;         // ms
    double airMass = 0;          // kg/h
    double cyclicAir = 0;        // mg per cylinder and cycle
    double fuelPerHour = 0;      // l/h
    double fuelPerDistance = 0;  // l/100 km
    double ignition = 0;         // degrees before top dead centre
    std::array<double, 4> ignitionCorrection{};
    double octaneCorrection = 0;
    double afrTarget = 14.7;    // the mixture the ECU aims at
    double mixture = 0;         // the true air/fuel ratio in the exhaust; 0: the target's
    double injCorrection = 1.0; // injection time correction coefficient
    double rco = 0;
    double injPhase = 0;         // degrees
    double idleValveDesired = 0; // steps
    double idleValveCurrent = 0;
    double cycleTime = 0; // the ECU's raw cycle time value
    double gtcRich = 1.0;
    double gtcLean = 1.0;
    double oxygenVoltage = 0; // narrowband sensor, V
    double oxygenChange = 0;  // V
    double knockVoltage = 0;  // sensor inputs, V
    double throttleVoltage = 0;
    double coolantVoltage = 0;
    double airTempVoltage = 0;
    double rcoAdc = 0;              // raw signed reading
    int workPoint = 0;              // the ECU's working point index
    std::uint32_t flags = 0;        // bit n-1 = flag n
    std::uint32_t troubleCodes = 0; // bit 8*(g-1)+k = code byte g, bit k

    bool flag(EngineFlag f) const { return ((flags >> (static_cast<int>(f) - 1)) & 1U) != 0; }
    void setFlag(EngineFlag f, bool on);
};

} // namespace korvel::sim
