#pragma once

#include "sim/AirErrorMap.h"
#include "sim/EcuGrid.h"
#include "sim/EngineState.h"

#include <QByteArray>

namespace korvel::sim {

class EcuMemory;

// Where the ECU finds the tables it fuels from (RAM addresses), and which load
// axis they use. A firmware with the air-flow sensor measures the air and
// corrects it over throttle rows; one without it takes the cycle filling from
// its table over pressure rows.
struct FuellingTables {
    int correction = 0x7CF7;    // correction, byte / 128
    int mixtureTarget = 0x6953; // target mixture, (byte + 128) x 14.7 / 256
    int cycleFilling = 0x75EF;  // base cycle filling, byte x 8 / 3 mg
    int phase = 0x64D3;         // injection phase, signed byte x 6 degrees
    bool byPressure = false;

    // The tables of the J5LS layout, chosen by the complectation bit "without
    // the air-flow sensor" (byte 5F05, bit 2) of the firmware.
    static FuellingTables of(const QByteArray &firmware);
};

// How the simulated ECU fuels from its own RAM, written from the ECU's side:
// its grid from its firmware bytes (EcuGrid), its tables interpolated over the
// four corners of its cell. The air it fuels for is its air-flow reading
// (off from the true air by the hidden error map), or, without the sensor, the
// cycle filling of its table (the true air then differs from that table by the
// error map). While the pedal moves fast it leans on the cycle-filling table
// instead of the lagging air reading. It aims at its target table, richer
// while cold and at full throttle, multiplies the fuel by the correction table
// and its narrowband trim, and cuts the fuel on overrun. Whatever is written
// into the tables changes the next state.
class EcuFuelling {
public:
    static constexpr double kFreeAir = 22.0; // what the exhaust holds while no fuel is injected

    EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap);
    EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap, FuellingTables tables);

    // The state as the ECU reports it, from the engine's true state: its air,
    // its target, its working point, its trim, its phase and the true mixture.
    EngineState fuel(const EngineState &truth) const;
    // The true mixture for a state set from outside, which keeps its own
    // reported values: its target off by the ECU's fuelling error.
    double mixtureFor(const EngineState &reported) const;
    // The ECU's fuelling error at a true state, without its narrowband trim:
    // true mixture / target - 1, the error its tables leave.
    double tableError(const EngineState &truth) const;

    const AirErrorMap &errorMap() const { return m_errorMap; }
    const EcuGrid &grid() const { return m_grid; }
    const FuellingTables &tables() const { return m_tables; }
    // The load the error map is read at: throttle, or the pressure's share of 20..100 kPa.
    double errorLoad(const EngineState &truth) const;

private:
    const EcuMemory &m_memory;
    AirErrorMap m_errorMap;
    FuellingTables m_tables;
    EcuGrid m_grid;
};

} // namespace korvel::sim
