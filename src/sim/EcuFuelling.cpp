#include "sim/EcuFuelling.h"

#include "firmware/FirmwareImage.h"
#include "sim/EcuMemory.h"
#include "tuning/WorkingPoint.h"

#include <algorithm>

namespace korvel::sim {

namespace {

constexpr int kJ5lsFamily = 2;
constexpr double kAfrStep = 14.7 / 256;

GridAxes axesOf(const EcuMemory &memory) {
    const auto image = FirmwareImage::fromBytes(memory.image());
    return image ? axesFromImage(*image, kJ5lsFamily) : GridAxes{};
}

// A table byte interpolated over the four cells around the working point.
double interpolated(const QByteArray &table, const WorkingPoint &wp) {
    auto cell = [&](int row, int col) {
        return static_cast<double>(static_cast<std::uint8_t>(table[std::min(row, 15) * 16 + std::min(col, 15)]));
    };
    return wp.k11 * cell(wp.row, wp.col) + wp.k12 * cell(wp.row, wp.col + 1) + wp.k21 * cell(wp.row + 1, wp.col) +
           wp.k22 * cell(wp.row + 1, wp.col + 1);
}

} // namespace

EcuFuelling::EcuFuelling(const EcuMemory &memory, AirErrorMap errorMap, FuellingTables tables)
    : m_memory(memory), m_errorMap(errorMap), m_tables(tables), m_axes(axesOf(memory)) {}

EngineState EcuFuelling::fuel(const EngineState &truth) const {
    EngineState s = truth;
    WorkingPointModel model;
    const WorkingPoint wp = model.compute(m_axes, {truth.rpm, truth.throttle, truth.manifoldPressure * 10}, false);
    s.workPoint = wp.index();

    const QByteArray correctionTable = m_memory.read(m_tables.correction, 256);
    const QByteArray targetTable = m_memory.read(m_tables.mixtureTarget, 256);
    if (correctionTable.size() != 256 || targetTable.size() != 256)
        return s;
    const double correction = std::max(0.05, interpolated(correctionTable, wp) / 128);
    const double target = (interpolated(targetTable, wp) + 128) * kAfrStep;
    const double airFactor = 1 + m_errorMap.errorAt(truth.rpm, truth.throttle);

    s.airMass = truth.airMass * airFactor;
    s.cyclicAir = truth.cyclicAir * airFactor;
    s.afrTarget = target;
    const double fuelFactor = airFactor * correction; // fuel = measured air / target x correction
    s.injPulse = truth.injPulse > 0 ? truth.injPulse * fuelFactor * truth.afrTarget / target : 0;
    s.fuelPerHour = truth.fuelPerHour * fuelFactor * truth.afrTarget / target;
    s.fuelPerDistance = truth.fuelPerDistance * fuelFactor * truth.afrTarget / target;
    const bool noFuel = truth.flag(EngineFlag::FuelCut) || truth.flag(EngineFlag::EngineOff) || truth.rpm <= 0;
    s.mixture = noFuel ? kFreeAir : target / fuelFactor;
    return s;
}

double EcuFuelling::mixtureFor(const EngineState &reported) const {
    const EngineState fuelled = fuel(reported);
    if (fuelled.mixture == kFreeAir || fuelled.afrTarget <= 0)
        return fuelled.mixture;
    return reported.afrTarget * fuelled.mixture / fuelled.afrTarget;
}

} // namespace korvel::sim
