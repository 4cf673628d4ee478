#pragma once

#include "sim/AirErrorMap.h"
#include "sim/EngineState.h"
#include "tuning/GridAxes.h"

#include <cstdint>

namespace korvel::sim {

class EcuMemory;

// Where the ECU finds the tables it fuels from (RAM addresses).
struct FuellingTables {
    int correction = 0x7CF7;    // correction by throttle, byte / 128
    int mixtureTarget = 0x6953; // target mixture by throttle, (byte + 128) x 14.7 / 256
};

// How the simulated ECU fuels from its own memory: it measures the air with a
// hidden error, aims at the mixture of its target table and multiplies the
// fuel by its correction table, both interpolated at its working point with
// the four weights. Whatever is written into the tables changes the next
// state. The true mixture follows from the true air and the injected fuel.
class EcuFuelling {
public:
    static constexpr double kFreeAir = 22.0; // what the exhaust holds while no fuel is injected

    EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap, FuellingTables tables = {});

    // The state as the ECU reports it, from the engine's true state: measured
    // air, the target, the working point, the correction and the true mixture.
    EngineState fuel(const EngineState &truth) const;
    // The true mixture for a state set from outside, which keeps its own
    // reported values: its target off by the air error and the correction.
    double mixtureFor(const EngineState &reported) const;
    const AirErrorMap &errorMap() const { return m_errorMap; }
    const GridAxes &axes() const { return m_axes; }

private:
    const EcuMemory &m_memory;
    AirErrorMap m_errorMap;
    FuellingTables m_tables;
    GridAxes m_axes;
};

} // namespace korvel::sim
