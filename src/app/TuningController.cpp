#include "app/TuningController.h"

#include "app/ConnectionSettings.h"
#include "app/SessionTimers.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/Numbers.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/EngineTick.h"
#include "live/TuningTrace.h"
#include "tuning/TuningTables.h"
#include "tuning/TuningWrites.h"
#include "tuning/WriteBack.h"

#include <algorithm>

namespace korvel {
namespace {

constexpr int kWriteBackRetryMs = 1000;
constexpr int kPhaseIntervalMs = 69000;
constexpr int kPhaseBlocks = 4;
constexpr int kBlockBytes = 64;
constexpr int kStatusPanel = 5;
constexpr int kNewImagePauseMs = 200;

std::int64_t tableAddress(const TuningTables &tables, int column) {
    if (!tables.addressSets().present(column))
        return -1;
    return HexToInt(tables.addressSets().address(column)).valueOr(-1);
}

} // namespace

TuningController::TuningController(Parts parts, Probes probes, QObject *parent)
    : QObject(parent), m_parts(parts), m_probes(std::move(probes)),
      m_accumulator(parts.tables.grid(), parts.tables.axes(), parts.store) {
    connect(&m_parts.timers.Timer4, &QTimer::timeout, this, &TuningController::onTimer4);
    connect(&m_parts.timers.Timer6, &QTimer::timeout, this, &TuningController::onTimer6);
    connect(&m_parts.timers.TimerFasa, &QTimer::timeout, this, &TuningController::onTimerFasa);
    connect(&m_parts.timers.TimerRW, &QTimer::timeout, this, &TuningController::onTimerRW);
    connect(&m_parts.timers.FindpointTTimer, &QTimer::timeout, this, &TuningController::onFindPoint);
}

std::int64_t TuningController::phaseTable() const {
    return tableAddress(m_parts.tables, tuningcolumn::Phase);
}

void TuningController::refreshTargets() {
    const AirMeasurement &air = m_parts.tables.addressSets().air();
    m_accumulator.setTables({air.correctionTable, phaseTable()});
    m_accumulator.setWrites(m_writes);
    m_owedCorrection.setTable(air.correctionTable > 0 ? air.correctionTable : -1);
    m_owedGbc.setTable(air.gbcTable > 0 ? air.gbcTable : -1);
    m_accumulator.setOwed(&m_owedCorrection);
    m_fourPoint.setOwed(&m_owedCorrection);
    m_accumulator.setLocks(&m_parts.tables.locks());
    m_fourPoint.setLocks(&m_parts.tables.locks());
}

void TuningController::setCellLocked(int cell, bool locked) {
    m_parts.tables.locks().setLocked(cell, locked);
    emit gridChanged();
}

GateSettings TuningController::gateSettings() const {
    const ExtendedTuningSettings &x = m_extended;
    GateSettings g;
    g.limits = {
        x.widebandState,   x.minCoolant,         x.fuelCutHoldMs, x.enrichmentHoldMs,
        x.maxThrottleRate, m_settings.minRpm,    x.maxRpm,        static_cast<double>(m_accumulator.minThrottle()),
        x.maxLoad,         x.centreZonePct / 100};
    g.delay = x.delay;
    g.ecuTrimOut = x.ecuTrimOut;
    return g;
}

// The setting "Настройка по" chooses the correction table at connect; a table
// by throttle has no pressure rows (with the air-flow sensor there is none by
// pressure), so the table decides and a setting that disagrees is logged once.
bool TuningController::loadByPressure() {
    const AirMeasurement &air = m_parts.tables.addressSets().air();
    if (air.correctionTable <= 0) // no air measurement chosen yet
        return m_settings.byPressure;
    const bool tableByPressure = air.PressureMode;
    if (m_settings.byPressure == tableByPressure) {
        m_loadAxisNoted = -1;
    } else if (m_loadAxisNoted != static_cast<int>(m_settings.byPressure)) {
        m_loadAxisNoted = static_cast<int>(m_settings.byPressure);
        m_parts.log.append(tableByPressure ? kLoadAxisByPressure : kLoadAxisByThrottle);
    }
    return tableByPressure;
}

void TuningController::startConnection(Protocol protocol) {
    m_protocol = protocol;
    m_model.reset();
    const std::optional<TuningSettings> s = TuningSettings::read(m_parts.settings, &m_parts.log);
    if (!s)
        return;
    m_settings = *s;
    m_fourPoint.startConnection(
        {s->stationaryCycles, static_cast<int>(s->weight), s->minThrottle, s->corrMin, s->corrMax});
    m_accumulator.startConnection(s->minThrottle);
    m_gate.clear();
    m_delayProbe.clear();
    // The tables are written whole when tuning is offered on the new link.
    m_owedCorrection.clear();
    m_owedGbc.clear();
    m_draining = false;
    m_loadAxisNoted = -1;
    m_secondCopyNoted = false;
    if (const std::optional<int> ms = m_parts.settings.integer(setting::NeighbourInterval, m_parts.log); ms && *ms > 0)
        m_neighbourMs = *ms;
}

bool TuningController::startTuning() {
    const std::optional<TuningSettings> s = TuningSettings::read(m_parts.settings, &m_parts.log);
    if (!s)
        return false;
    const std::optional<TuningTimerSettings> intervals = TuningTimerSettings::read(m_parts.settings, m_parts.log);
    if (!intervals)
        return false;
    const std::optional<ExtendedTuningSettings> extended = ExtendedTuningSettings::read(m_parts.settings, &m_parts.log);
    if (!extended)
        return false;
    m_settings = *s;
    m_extended = *extended;
    m_writeBackMs = intervals->writeBackMs;
    m_neighbourMs = intervals->neighbourMs;
    SessionTimers &t = m_parts.timers;
    t.Timer2.setInterval(intervals->firmwareSaveMs);
    t.Timer4.setInterval(m_writeBackMs);
    t.Timer6.setInterval(m_neighbourMs);
    refreshTargets();
    m_draining = false;
    // The method of this run: switching it mid-run would resume one method
    // from what the other left behind.
    m_fourPointRun = s->fourPoint;
    // The extended tuning of this run: its limits count from the cells as they are now.
    m_extendedRun = extended->on;
    if (m_extendedRun)
        m_authority.start(m_parts.tables.grid(),
                          {extended->stepPct / 100, extended->bandPct / 100, s->corrMin, s->corrMax});
    m_accumulator.setAuthority(m_extendedRun ? &m_authority : nullptr);
    m_fourPoint.setAuthority(m_extendedRun ? &m_authority : nullptr);

    // 1. The load boundaries of this run; 3. tuning is on.
    const bool neighbours = s->neighbourFactor > 0;
    m_accumulator.start(loadByPressure(), neighbours);
    // 2. Phase tuning needs the phase sensor.
    if (s->phaseTuning && m_parts.tables.addressSets().phaseSensor())
        t.TimerFasa.start(kPhaseIntervalMs);
    else
        t.TimerFasa.stop();
    m_parts.view.raisePage(control::PanelGrid);
    // 4. The buttons of a running tuning.
    if (m_probes.offerTuning)
        m_probes.offerTuning(false);
    m_parts.controls.setEnabled(control::TButTune, false);
    m_parts.controls.setEnabled(control::TButOpenfirmware, false);
    m_parts.controls.setEnabled(control::TButStopTune, true);
    if (m_probes.showSmallDiagnostic)
        m_probes.showSmallDiagnostic();
    // 5. Neighbour learning; 6. the cycle-filling write-back and the saves.
    if (neighbours)
        t.Timer6.start();
    else
        t.Timer6.stop();
    t.Timer4.start();
    t.Timer2.start();
    return true;
}

void TuningController::stopTuning() {
    using namespace control;
    SessionTimers &t = m_parts.timers;
    t.TimerFasa.stop();
    m_parts.controls.setEnabled(TButSettings, true);
    m_accumulator.stop();
    m_accumulator.trace().tuningStarted = 0;
    m_parts.controls.setEnabled(TButLoadfirmware, true);
    m_parts.controls.setEnabled(TButTune, true);
    m_parts.controls.setEnabled(TButOpenfirmware, true);
    m_parts.controls.setEnabled(TButStopTune, false);
    if (m_probes.offerTuning)
        m_probes.offerTuning(true);
    t.Timer2.stop();
    t.Timer6.stop();
    t.Timer4.stop();
    if (!handOverOwed(true)) {
        m_draining = true;
        t.Timer4.start(kWriteBackRetryMs);
    }
}

bool TuningController::handOverOwed(bool force) {
    if (!(m_probes.linkUp && m_probes.linkUp()))
        return m_owedCorrection.empty() && m_owedGbc.empty();
    const FirmwareImage &image = m_parts.store.image();
    if (fourPointMethod())
        m_fourPoint.handOver(image, m_writes, force);
    else
        sendOwedCorrections(m_owedCorrection, image, m_writes, true);
    if (force)
        sendOwedGbc(m_owedGbc, image, m_writes);
    return m_owedCorrection.empty() && m_owedGbc.empty();
}

namespace {
// The bytes one request of a tuning write covers.
int requestBytes(EcuCommandKind command) {
    switch (command) {
    case EcuCommandKind::remake:
        return kCellWriteBytes;
    case EcuCommandKind::remake_four_points:
        return kFourPointWriteBytes;
    case EcuCommandKind::remakegbc:
    case EcuCommandKind::remakepopr:
    case EcuCommandKind::correct23DF:
        return kBlockWriteBytes;
    default:
        return 0;
    }
}
} // namespace

void TuningController::takeWriteResult(const EcuWriteResult &result) {
    const int bytes = requestBytes(result.command);
    if (!result.finished || !result.failed() || bytes == 0)
        return;
    for (int address : result.failedAddresses) {
        m_owedCorrection.oweRange(address, bytes);
        m_owedGbc.oweRange(address, bytes);
    }
    if (!m_owedCorrection.empty())
        m_fourPoint.oweAgain();
    if (!tuningOn() && !(m_owedCorrection.empty() && m_owedGbc.empty()) && !m_draining) {
        m_draining = true;
        m_parts.timers.Timer4.start(kWriteBackRetryMs);
    }
}

void TuningController::imageOpenedWhileConnected() {
    SessionTimers &t = m_parts.timers;
    m_accumulator.counters() = TuningCounters{};
    m_owedCorrection.clear(); // they were the old image's
    m_owedGbc.clear();
    const bool neighbours = t.Timer6.isActive();
    t.engineTimer.stop();
    t.Timer6.stop();
    t.Timer4.stop();
    QTimer::singleShot(kNewImagePauseMs, this, [this, neighbours] {
        SessionTimers &t = m_parts.timers;
        t.engineTimer.start();
        t.Timer4.start();
        if (neighbours && tuningOn())
            t.Timer6.start();
    });
    m_parts.view.setPanelText(kStatusPanel, statusText());
}

void TuningController::reTune(std::int64_t address, int size) {
    scheduleTableWrite(address, size);
    if (m_parts.store.FirmwareLoaded()) {
        m_parts.tables.addtabl();
        emit gridChanged();
    }
    m_parts.timers.Timer2.start();
}

void TuningController::scheduleTableWrite(std::int64_t address, int size) {
    m_rwAddress = address;
    m_rwSize = size;
    m_parts.timers.TimerRW.start();
}

void TuningController::engineStep(EngineTick &engine, bool newRequest, TuningTrace &trace, const TuningInstant &now) {
    // The settings act on the next tick; one that does not parse skips the tuning.
    const std::optional<TuningSettings> read = TuningSettings::read(m_parts.settings, nullptr);
    if (read)
        m_settings = *read;
    if (const std::optional<ExtendedTuningSettings> x = ExtendedTuningSettings::read(m_parts.settings, nullptr))
        m_extended = *x;
    const bool byPressure = loadByPressure();
    const bool fourPoint = fourPointMethod();
    engine.setTunedLoadAxis(byPressure);
    m_accumulator.setLoadAxis(byPressure);
    const LiveParameters &live = engine.parameters();
    // The four-point method works from the pressure channel, in whole kPa.
    const double pressure = fourPoint ? roundHalfEven(live.pressure / 10.0) * 10 : live.pressure;
    m_point = m_model.compute(m_parts.tables.axes(), {live.rpm, live.throttle, pressure}, byPressure);
    engine.setWorkPoint(m_point.index());
    m_position = {live.rpm, live.throttle, live.pressure, live.cyclicAir};
    if (!newRequest || !read)
        return;

    refreshTargets();
    const bool linkUp = m_probes.linkUp && m_probes.linkUp();
    const bool phase = m_settings.phaseTuning && m_parts.tables.addressSets().phaseSensor();

    // Every frame joins the gate's history, so that the first samples after
    // the start already pair with the frames before it. The narrowband
    // sensor's coefficient is the ECU's own and has no delay to pair.
    const bool extended = (tuningOn() ? m_extendedRun : m_extended.on) && !live.narrowband;
    const int cell = fourPoint ? m_point.index() : m_accumulator.cellIndex(live, m_settings);
    // The four-point method shares every sample by the ECU's own weights: no edge to keep off.
    const double edge = fourPoint ? 0 : std::max(0.0, m_accumulator.edgeDistance(live, m_settings));
    const GateVerdict verdict =
        m_gate.take({now.seconds, cell, edge, live.rpm, live.throttle, live.coolantTemp, live.afrEcu, live.ecuTrim,
                     live.flag(kFuelCutFlag) != 0, live.flag(kPowerEnrichmentFlag) != 0},
                    now.wideband, gateSettings(), &m_parts.tables.locks(), extended && tuningOn());
    m_delayProbe.add(now.seconds, live.rpm, live.injPulse, now.wideband);
    AccumulationInput input{live, m_settings, linkUp};
    if (extended) {
        input.checked = true;
        input.checkedSample = verdict.sample;
    }
    const bool measured = extended ? verdict.sample.has_value() : hasMixtureReading(live);
    const double coefficient = extended && verdict.sample ? *verdict.sample : live.injCorrection;

    if (m_protocol == Protocol::Fast) {
        if (fourPoint) {
            const int evaluations = m_accumulator.counters().evaluations;
            if (m_parts.tables.addressSets().air().correctionTable > 0 && measured)
                m_fourPoint.tick({m_point, live.rpm, live.throttle, roundTo(coefficient, 3), tuningOn(), byPressure},
                                 m_parts.tables.grid(), m_parts.store,
                                 m_parts.tables.addressSets().air().correctionTable, m_writes, m_accumulator.counters(),
                                 m_accumulator.trace());
            if (m_accumulator.counters().evaluations != evaluations)
                emit gridChanged(); // the whole correction table is shown after its write
        } else {
            m_accumulator.tickFast(input);
            if (phase && tuningOn())
                m_accumulator.tickPhase(live, m_settings, false);
        }
        // What a busy worker or a failed write left owed goes at the first free hand-over.
        if (tuningOn())
            handOverOwed(false);
    } else if (m_parts.store.FirmwareLoaded()) {
        m_accumulator.tickStandard(input);
        if (phase)
            m_accumulator.tickPhase(live, m_settings, true);
    }
    m_accumulator.tickStatistics(live, m_settings);

    m_accumulator.trace().tuningStarted = tuningOn() ? 1 : 0;
    trace = m_accumulator.trace();
    m_parts.view.setPanelText(kStatusPanel, statusText());
}

bool TuningController::writeBackAllowed() const {
    return m_probes.linkUp && m_probes.linkUp() && m_parts.timers.engineTimer.isActive() && tuningOn();
}

// Cells take their new filling over only when the table is handed over, so
// the grid never shows a filling that neither the image nor RAM holds.
void TuningController::onTimer4() {
    SessionTimers &t = m_parts.timers;
    t.Timer4.stop();
    if (m_draining && !tuningOn()) {
        // Tuning stopped with bytes owed: they go out before the timer stops.
        // A link that went down takes them along (a new one starts from the
        // tables written whole).
        if (handOverOwed(true) || !(m_probes.linkUp && m_probes.linkUp())) {
            m_draining = false;
            t.Timer4.setInterval(m_writeBackMs);
            return;
        }
        t.Timer4.start(kWriteBackRetryMs);
        return;
    }
    if (writeBackAllowed()) {
        // A pending retry and an owed table always write.
        const bool retry = t.Timer4.interval() == kWriteBackRetryMs || !m_owedGbc.empty();
        const int pending = pendingGbc(m_parts.tables.grid());
        if ((pending > 0 || retry) && m_probes.linkUp()) {
            t.engineTimer.start();
            if (!m_writes || m_writes->busy()) {
                m_parts.log.append(kGbcRetry);
                t.Timer4.setInterval(kWriteBackRetryMs);
            } else {
                writeGbcTable(std::max(pending, 1));
                t.Timer4.setInterval(m_writeBackMs);
            }
        }
        t.engineTimer.start();
    }
    t.Timer4.start();
}

void TuningController::writeGbcTable(int taken) {
    const AirMeasurement &air = m_parts.tables.addressSets().air();
    const GatheredTable table = gatherGbc(m_parts.tables.grid(), air.gbcColumn);
    ++m_accumulator.counters().gbcWrites;
    if (air.gbcTable != kSecondGbcCopy && m_parts.identity.FirmwareFamily() == firmwarefamily::Vrk &&
        !m_secondCopyNoted) {
        m_secondCopyNoted = true;
        m_parts.log.append(kNoSecondGbcCopy);
    }
    m_parts.log.append(kGbcWrite + QString::number(taken) + QStringLiteral(")"));
    m_parts.store.storeBytes(air.gbcTable, table.bytes);
    m_writes->remakeGbc(static_cast<int>(air.gbcTable), table.bytes);
    m_owedGbc.clear();
    emit gridChanged();
}

void TuningController::onTimer6() {
    SessionTimers &t = m_parts.timers;
    t.Timer6.stop();
    if (writeBackAllowed()) {
        // Cells take the learned values over only when the worker is free to
        // carry them: a busy worker leaves them waiting for the retry.
        if (pendingLearned(m_parts.tables.grid()) > 0 && m_probes.linkUp()) {
            // The engine tick stays out of the cells while the table is handed over.
            t.engineTimer.stop();
            if (!m_writes || m_writes->busy()) {
                m_parts.log.append(kNeighbourRetry + QString::number(m_neighbourMs));
                t.Timer6.setInterval(kWriteBackRetryMs);
            } else {
                const GatheredTable table = gatherLearned(m_parts.tables.grid(), m_accumulator.byPressure());
                m_parts.log.append(kNeighbourWrite + QString::number(table.taken) + QStringLiteral(")"));
                const std::int64_t address = m_parts.tables.addressSets().air().correctionTable;
                m_parts.store.storeBytes(address, table.bytes);
                m_writes->remakePopr(static_cast<int>(address), table.bytes);
                m_owedCorrection.clear(); // the whole table went
                t.Timer6.setInterval(m_neighbourMs);
                emit gridChanged();
            }
            t.engineTimer.start();
        }
    }
    t.Timer6.start();
}

void TuningController::onTimerFasa() {
    SessionTimers &t = m_parts.timers;
    t.TimerFasa.stop();
    const std::int64_t address = phaseTable();
    if (writeBackAllowed() && address >= 0) {
        const QByteArray bytes = phaseTableBytes(m_parts.tables.grid());
        m_parts.store.storeBytes(address, bytes);
        if (m_probes.linkUp()) {
            t.engineTimer.stop();
            if (!m_writes || m_writes->busy()) {
                m_parts.log.append(kPhaseRetry);
                t.TimerFasa.setInterval(kWriteBackRetryMs);
            } else {
                m_parts.log.append(kPhaseWrite);
                m_writes->correct23DF(static_cast<int>(address), m_parts.store.image().slice(address, 256),
                                      kPhaseBlocks, kBlockBytes);
                t.TimerFasa.setInterval(kPhaseIntervalMs);
            }
            t.engineTimer.start();
        }
    }
    t.TimerFasa.start();
}

void TuningController::onTimerRW() {
    SessionTimers &t = m_parts.timers;
    t.TimerRW.stop();
    if (m_rwAddress < 0 || !(m_probes.linkUp && m_probes.linkUp()))
        return;
    if (!m_writes || m_writes->busy()) {
        t.TimerRW.start(); // again once the worker is free
        return;
    }
    const WholeBlocksWrite w = blockWrite(m_parts.store.image(), m_rwAddress, m_rwSize);
    m_writes->correct23DF(static_cast<int>(m_rwAddress), w.bytes, w.blocks, w.lastCount);
    m_rwAddress = -1;
    t.engineTimer.start();
}

InterpolatedCorrection TuningController::panelTest() const {
    return interpolatedCorrection(m_point, m_parts.store.image(), m_parts.tables.addressSets().air().correctionTable);
}

void TuningController::onFindPoint() {
    const TuningTables &tables = m_parts.tables;
    const QStringList &choices = tables.gridChoices();
    const int index = tables.gridChoice();
    const QString choice = index >= 0 && index < choices.size() ? choices.at(index) : QString();
    const int kind = choice.isEmpty() ? 1 : gridKindOf(choice);
    m_marking.highlight = fourPointMethod() ? fourPointBlock(tables.axes(), kind, m_position)
                                            : highlightedCell(tables.axes(), kind, m_position, m_settings);
    m_marking.byPressure = m_accumulator.byPressure();

    std::array<double, TuningGrid::kCells> values{};
    bool firstShowsZero = false;
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        const TuningCellView view = tuningCellView(tables.grid().cells[static_cast<std::size_t>(i)], index, choice);
        values[static_cast<std::size_t>(i)] = view.value;
        if (i == 0)
            firstShowsZero = view.text == QStringLiteral("0");
    }
    m_marking.range = valueRange(values, firstShowsZero);
    m_scaleLabels = minMaxLabels(m_marking.range, m_parts.settings.value(setting::ShowMinMax) == setting::Yes);
    emit markingChanged();
}

void TuningController::reworkIgnition() {
    const std::int64_t ignition = tableAddress(m_parts.tables, tuningcolumn::IgnThr);
    const std::int64_t gbc = tableAddress(m_parts.tables, tuningcolumn::GbcThr);
    if (!m_parts.store.FirmwareLoaded() || ignition < 0 || gbc < 0)
        return;
    reworkPartLoadIgnition(m_parts.tables.grid(), m_parts.store, ignition, gbc);
    m_parts.controls.setVisible(control::Button7, true);
    m_parts.controls.setVisible(control::BitBtn15, false);
    emit gridChanged();
}

void TuningController::writeIgnition() {
    SessionTimers &t = m_parts.timers;
    if (!(m_probes.linkUp && m_probes.linkUp()) || !t.engineTimer.isActive())
        return;
    t.engineTimer.stop();
    const bool timer4 = t.Timer4.isActive();
    const bool timer6 = t.Timer6.isActive();
    t.Timer4.stop();
    t.Timer6.stop();
    m_parts.log.append(kIgnitionWrite);
    const bool handed = m_writes && !m_writes->busy();
    if (handed)
        m_writes->remakeUoz(static_cast<int>(kPartLoadIgnitionTable),
                            m_parts.store.image().slice(kPartLoadIgnitionTable, 256));
    if (timer4)
        t.Timer4.start();
    if (timer6)
        t.Timer6.start();
    t.engineTimer.start();
    if (handed) {
        m_parts.controls.setVisible(control::BitBtn15, true);
        m_parts.controls.setVisible(control::Button7, false);
    }
}

} // namespace korvel
