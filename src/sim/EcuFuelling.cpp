#include "sim/EcuFuelling.h"

#include "sim/EcuMemory.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvel::sim {

namespace {

constexpr double kFillingStep = 8.0 / 3; // mg per cycle-filling byte
constexpr double kPhaseStep = 6;         // degrees per phase byte
constexpr int kWithoutAirFlowByte = 0x5F05;
constexpr int kWithoutAirFlowBit = 0x04;
constexpr double kInjectorFlow = 2.6;     // mg/ms
constexpr double kInjectorDeadTime = 0.7; // ms
// Cold enrichment: 0.5 % more fuel per degree below 60 °C.
constexpr double kWarmCoolant = 60;
constexpr double kWarmUpPerDegree = 0.005;
constexpr double kPowerEnrichment = 1.08;
// A pedal moving at this rate (percent per second) or faster makes the ECU
// take its air from the cycle-filling table alone; slower, in proportion.
constexpr double kTransientRate = 150;
constexpr double kNominalAir = 1;                        // mg, for a state without air
constexpr double kLowPressure = 20, kHighPressure = 100; // kPa, the error map's load range without the sensor

struct Fuelled {
    EcuCell cell;
    double measuredAir = 0; // what the ECU reports as its air
    double usedAir = 0;     // what it fuels for
    double trueAir = 0;
    double target = 14.7; // commanded mixture
    double fuel = 0;      // mg per cylinder and cycle, 0 = none
};

} // namespace

FuellingTables FuellingTables::of(const QByteArray &firmware) {
    FuellingTables t;
    const bool withoutAirFlow = firmware.size() > kWithoutAirFlowByte &&
                                (static_cast<std::uint8_t>(firmware[kWithoutAirFlowByte]) & kWithoutAirFlowBit) != 0;
    if (withoutAirFlow) {
        t.correction = 0x8E2A;
        t.mixtureTarget = 0x76EF;
        t.byPressure = true;
    }
    return t;
}

EcuFuelling::EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap)
    : EcuFuelling(memory, errorMap, FuellingTables::of(memory.image())) {}

EcuFuelling::EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap, FuellingTables tables)
    : m_memory(memory), m_errorMap(errorMap), m_tables(tables), m_grid(memory.image()) {}

double EcuFuelling::errorLoad(const EngineState &truth) const {
    if (!m_tables.byPressure)
        return truth.throttle;
    return std::clamp((truth.manifoldPressure - kLowPressure) * 100 / (kHighPressure - kLowPressure), 0.0, 100.0);
}

namespace {

Fuelled fuelOf(const EcuMemory &memory, const FuellingTables &tables, const EcuGrid &grid, const AirErrorMap &map,
               double errorLoad, const EngineState &truth, bool withTrim) {
    Fuelled f;
    f.cell = grid.at(truth.rpm, tables.byPressure ? truth.manifoldPressure * 10 : truth.throttle, tables.byPressure);
    const QByteArray correctionTable = memory.read(tables.correction, 256);
    const QByteArray targetTable = memory.read(tables.mixtureTarget, 256);
    const QByteArray fillingTable = memory.read(tables.cycleFilling, 256);
    const double correction = std::max(0.05, interpolate(correctionTable, f.cell) / 128);
    const double tableAir = interpolate(fillingTable, f.cell) * kFillingStep;
    const double error = map.errorAt(truth.rpm, errorLoad);
    // A state set from outside may carry no air: the mixture then follows from the ratios alone.
    const bool airGiven = truth.cyclicAir > 0;
    if (tables.byPressure) {
        // The engine breathes differently from what the table assumes.
        f.trueAir = (airGiven ? truth.cyclicAir : tableAir) * (1 + error);
        f.measuredAir = tableAir;
        f.usedAir = tableAir;
    } else {
        f.trueAir = airGiven ? truth.cyclicAir : kNominalAir;
        f.measuredAir = f.trueAir * (1 + error);
        const double blend = std::clamp(std::abs(truth.throttleRate) / kTransientRate, 0.0, 1.0);
        f.usedAir = f.measuredAir + blend * (tableAir - f.measuredAir);
    }
    double enrichment = 1 + std::max(0.0, kWarmCoolant - truth.coolantTemp) * kWarmUpPerDegree;
    if (truth.flag(EngineFlag::PowerEnrichment))
        enrichment *= kPowerEnrichment;
    f.target = (interpolate(targetTable, f.cell) + 128) * kAfrStep / enrichment;
    const bool noFuel = truth.flag(EngineFlag::FuelCut) || truth.flag(EngineFlag::EngineOff) || truth.rpm <= 0;
    const double trim = withTrim ? truth.injCorrection : 1.0;
    f.fuel = noFuel || f.target <= 0 ? 0 : f.usedAir / f.target * correction * trim;
    return f;
}

} // namespace

EngineState EcuFuelling::fuel(const EngineState &truth) const {
    const Fuelled f = fuelOf(m_memory, m_tables, m_grid, m_errorMap, errorLoad(truth), truth, true);
    EngineState s = truth;
    s.workPoint = f.cell.index();
    s.afrTarget = f.target;
    const double airFactor = truth.cyclicAir > 0 ? f.measuredAir / truth.cyclicAir : 1;
    s.cyclicAir = truth.cyclicAir > 0 || m_tables.byPressure ? f.measuredAir : 0;
    s.airMass = truth.airMass * airFactor;
    const double fuelFactor =
        truth.cyclicAir > 0 && truth.afrTarget > 0 ? f.fuel / (truth.cyclicAir / truth.afrTarget) : 0;
    s.injPulse = f.fuel > 0 ? f.fuel / kInjectorFlow + kInjectorDeadTime : 0;
    s.fuelPerHour = truth.fuelPerHour * fuelFactor / std::max(truth.injCorrection, 0.01);
    s.fuelPerDistance = truth.fuelPerDistance * fuelFactor / std::max(truth.injCorrection, 0.01);
    const QByteArray phase = m_memory.read(m_tables.phase, 256);
    if (phase.size() == 256)
        s.injPhase = static_cast<std::int8_t>(phase[grid().airRow(f.measuredAir) * 16 + f.cell.col]) * kPhaseStep;
    s.mixture = f.fuel > 0 ? f.trueAir / f.fuel : kFreeAir;
    return s;
}

double EcuFuelling::tableError(const EngineState &truth) const {
    const Fuelled f = fuelOf(m_memory, m_tables, m_grid, m_errorMap, errorLoad(truth), truth, false);
    if (f.fuel <= 0)
        return 0;
    return f.trueAir / f.fuel / f.target - 1;
}

double EcuFuelling::mixtureFor(const EngineState &reported) const {
    const EngineState fuelled = fuel(reported);
    if (fuelled.mixture == kFreeAir || fuelled.afrTarget <= 0)
        return fuelled.mixture;
    return reported.afrTarget * fuelled.mixture / fuelled.afrTarget;
}

} // namespace korvel::sim
