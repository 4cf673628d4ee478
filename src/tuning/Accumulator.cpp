#include "tuning/Accumulator.h"

#include "core/Numbers.h"
#include "firmware/FirmwareStore.h"
#include "live/LiveParameters.h"
#include "tuning/CellLocks.h"
#include "tuning/CorrectionAuthority.h"
#include "tuning/CorrectionRules.h"
#include "tuning/OwedBytes.h"
#include "tuning/PhaseTuning.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningWrites.h"

#include <algorithm>
#include <cmath>

namespace korvel {
namespace {

constexpr int kSkippedAfterEvaluation = -8;
// Neighbours whose own mean lies within 5 % of 1 are left alone.
constexpr double kNeighbourLow = 0.95;
constexpr double kNeighbourHigh = 1.05;

template <std::size_t N> int windowIndex(double v, const std::array<float, N> &bounds, double stationarity) {
    for (std::size_t i = 0; i + 1 < N && i < TuningGrid::kSize; ++i)
        if (cellWindowContains(v, bounds[i], bounds[i + 1], stationarity))
            return static_cast<int>(i);
    return -1;
}

int airWindowIndex(double v, const GridAxes &axes, double stationarity) {
    for (int k = 0; k < TuningGrid::kSize; ++k)
        if (cellWindowContains(v, axes.airLowerBound(k), axes.air[static_cast<std::size_t>(k)], stationarity))
            return k;
    return -1;
}

// Before tuning was ever started the boundaries are the axis' own.
const std::array<float, GridAxes::kPoints> &tuningLoadBounds(const std::array<float, GridAxes::kPoints> &started,
                                                             const GridAxes &axes, bool byPressure) {
    return started.back() != 0 ? started : byPressure ? axes.pressureBounds : axes.throttleBounds;
}

// 0 at the middle of [lo, hi], 1 at either end.
double edgeOf(double v, double lo, double hi) {
    const double half = (hi - lo) / 2;
    return half > 0 ? std::min(1.0, std::abs(v - (lo + hi) / 2) / half) : 0;
}

double meanOf(const float *values, int n) {
    if (n <= 0)
        return 0;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += values[i];
    return sum / n;
}

// The list keeps its most recent `cap` entries: the oldest makes room.
void shiftOut(std::vector<float> &samples) {
    if (!samples.empty())
        samples.erase(samples.begin());
}

} // namespace

QString TuningCounters::statusText() const {
    return QStringLiteral("GBC//P/A//All:%1//%2/%3//%4")
        .arg(gbcWrites)
        .arg(evaluations)
        .arg(samplesStored)
        .arg(windowTicks);
}

Accumulator::Accumulator(TuningGrid &grid, const GridAxes &axes, FirmwareStore &store)
    : m_grid(grid), m_axes(axes), m_store(store) {}

void Accumulator::start(bool byPressure, bool neighbourLearning) {
    m_byPressure = byPressure;
    m_loadBounds = byPressure ? m_axes.pressureBounds : m_axes.throttleBounds;
    m_tuningOn = true;
    m_neighbourOn = neighbourLearning;
}

void Accumulator::setLoadAxis(bool byPressure) {
    if (m_tuningOn || byPressure == m_byPressure)
        return;
    m_byPressure = byPressure;
    m_loadBounds = {}; // the axis' own boundaries until tuning starts again
}

void Accumulator::startConnection(int minThrottle) {
    m_minThrottle = minThrottle;
    m_curCol = m_curRow = 0;
    m_statCount = 0;
    m_sampleIndex = 0;
}

// The load is the one the tuned table is laid out over, whatever the frame
// decoding took as its load value: a pressure on the throttle table's rows
// would write pressure cells into throttle cells.
Accumulator::Cell Accumulator::steadyCell(const LiveParameters &live, const TuningSettings &settings) const {
    const auto &load = tuningLoadBounds(m_loadBounds, m_axes, m_byPressure);
    const int col = windowIndex(live.rpm, m_axes.rpmBounds, settings.stationaryRpm);
    if (col < 0)
        return {};
    const double loadValue = m_byPressure ? live.pressure : live.throttle;
    const int row = windowIndex(loadValue, load, settings.stationaryLoad);
    if (row < 0)
        return {};
    return {col, row};
}

int Accumulator::cellIndex(const LiveParameters &live, const TuningSettings &settings) const {
    const Cell at = steadyCell(live, settings);
    return at.col < 0 ? -1 : at.row * TuningGrid::kSize + at.col;
}

double Accumulator::edgeDistance(const LiveParameters &live, const TuningSettings &settings) const {
    const Cell at = steadyCell(live, settings);
    if (at.col < 0)
        return -1;
    const auto &load = tuningLoadBounds(m_loadBounds, m_axes, m_byPressure);
    const auto c = static_cast<std::size_t>(at.col), r = static_cast<std::size_t>(at.row);
    const double loadValue = m_byPressure ? live.pressure : live.throttle;
    return std::max(edgeOf(live.rpm, m_axes.rpmBounds[c], m_axes.rpmBounds[c + 1]),
                    edgeOf(loadValue, load[r], load[r + 1]));
}

bool Accumulator::locked(int col, int row) const {
    return m_locks && m_locks->locked(row * TuningGrid::kSize + col);
}

double Accumulator::limited(int col, int row, double current, double proposed) const {
    return m_authority ? m_authority->limit(row * TuningGrid::kSize + col, current, proposed) : proposed;
}

double Accumulator::sampleValue(const LiveParameters &live) {
    return live.narrowband ? live.injCorrection : live.afrWideband / live.afrEcu;
}

// A wideband tick without both ratios (a sensor still warming up, out of its
// range or silent, or an ECU reporting no target) measures nothing. Counting
// it would average a zero or a stale slot into the cell and drive its
// correction to the floor, leaning the engine out; it is left out instead.
bool hasMixtureReading(const LiveParameters &live) {
    return live.narrowband || (live.afrEcu > 0 && live.afrWideband > 0);
}

bool Accumulator::collect(TuningCell &cell, int col, int row, const AccumulationInput &in, bool bounded) {
    if (col + 1 != m_curCol || row + 1 != m_curRow) {
        m_curCol = col + 1;
        m_curRow = row + 1;
        m_statCount = 0;
        m_sampleIndex = 0;
        m_sumCoef = 0;
        m_trace.statCount = 0;
        return false;
    }
    m_sumCoef = m_sumAir = 0;
    m_trace.statCount = ++m_statCount;
    if (m_statCount <= in.settings.stationaryCycles) {
        m_cornerText.clear();
        return true;
    }
    if (in.checked ? !in.checkedSample.has_value() : !hasMixtureReading(in.live))
        return false;
    if (m_sampleIndex >= 0)
        m_sampleIndex = cell.sampleCount;
    ++m_sampleIndex;
    if (m_sampleIndex > 0) {
        if (bounded && m_sampleIndex > kStandardSampleWindow) {
            shiftOut(cell.samples);
            m_sampleIndex = kStandardSampleWindow;
        }
        const double value = in.checked ? *in.checkedSample : sampleValue(in.live);
        cell.sampleCount = m_sampleIndex;
        m_trace.sampleIndex = m_sampleIndex;
        cell.setSample(m_sampleIndex, static_cast<float>(value));
        const int airSlot = std::min(m_sampleIndex, TuningCell::kMaxAirSamples);
        if (bounded && m_sampleIndex > TuningCell::kMaxAirSamples)
            std::rotate(cell.airSamples.begin(), cell.airSamples.begin() + 1, cell.airSamples.end());
        cell.airCount = airSlot;
        cell.setAirSample(airSlot, static_cast<float>(in.live.cyclicAir));
        ++m_counters.samplesStored;
    }
    return true;
}

void Accumulator::tickFast(const AccumulationInput &in) {
    const Cell at = steadyCell(in.live, in.settings);
    if (at.col < 0)
        return;
    ++m_counters.windowHits;
    if (!m_tuningOn)
        return;
    m_okToTune = in.live.throttle >= m_minThrottle && in.live.rpm >= in.settings.minRpm;
    m_trace.okToTune = m_okToTune;
    // A locked cell collects nothing: its cycle filling stays as well.
    if (m_okToTune && !locked(at.col, at.row)) {
        TuningCell &cell = m_grid.at(at.row, at.col);
        if (collect(cell, at.col, at.row, in, false)) {
            if (m_sampleIndex > in.settings.cyclesPerEvaluation)
                evaluateFast(cell, at.col, at.row, in);
            else
                m_trace.wroteCorrection = 0;
        }
    }
    ++m_counters.windowTicks;
    m_trace.evaluations = m_counters.evaluations;
}

void Accumulator::evaluateFast(TuningCell &cell, int col, int row, const AccumulationInput &in) {
    const int n = m_sampleIndex;
    double sum = 0;
    for (int i = 1; i <= n; ++i)
        sum += cell.sample(i);
    double m = n > 0 ? sum / n : 0;
    const double a = meanOf(cell.airSamples.data(), std::min(n, TuningCell::kMaxAirSamples));
    m_sumCoef = m;
    m_sumAir = a;
    cell.meanCoef = static_cast<float>(m);
    cell.meanAir = static_cast<float>(a);
    cell.gbcNew = static_cast<float>(a);

    m = deadBand(m);
    const double v = limited(col, row, cell.corrCurrent, steppedCorrection(cell.corrCurrent, m, in.settings.weight));
    // A locked cell keeps its correction whatever it measured.
    if (in.linkUp && m != 1 && m_tables.correction > 0 && !locked(col, row)) {
        const int index = row * TuningGrid::kSize + col;
        // The learned value follows every correction: neighbour learning
        // switched on later must not take a cell back to its loaded value.
        cell.learned = static_cast<float>(v);
        if (m_neighbourOn)
            learnNeighbours(col, row, m, in.settings);
        const std::int64_t address = m_tables.correction + index;
        m_trace.oldCorrection = m_store.image().byteAt(address).value_or(0) / 128.0;
        m_trace.newCorrection = v;
        cell.corrCurrent = static_cast<float>(v);
        const auto byte = static_cast<std::uint8_t>(correctionByte(v));
        m_store.storeByte(address, byte);
        if (m_owed) {
            m_owed->setTable(m_tables.correction);
            m_owed->owe(index);
            sendOwedCorrections(*m_owed, m_store.image(), m_writes, true);
        } else if (m_writes && !m_writes->busy()) {
            m_writes->remake(static_cast<int>(address), byte, 0xFD00 + index);
        }
        m_trace.wroteCorrection = 1;
        ++m_counters.evaluations;
        (m_byPressure ? cell.corrKpa : cell.corrThr) = static_cast<float>(v);
    }
    cell.sampleCount = 0;
    ++cell.applied;
    m_cornerText = QStringLiteral("ОК") + QString::number(cell.applied);
    m_sampleIndex = kSkippedAfterEvaluation;
}

// A learned value obeys "Минимальная поправка" and "Максимальная поправка"
// as well as the fixed limits.
void Accumulator::learnNeighbours(int col, int row, double mean, const TuningSettings &settings) {
    const std::pair<int, int> around[] = {{col - 1, row}, {col + 1, row}, {col, row - 1}, {col, row + 1}};
    for (const auto &[c, r] : around) {
        if (c < 0 || r < 0 || c >= TuningGrid::kSize || r >= TuningGrid::kSize)
            continue;
        TuningCell &n = m_grid.at(r, c);
        if (locked(c, r))
            continue;
        if (n.meanCoef > kNeighbourHigh || n.meanCoef < kNeighbourLow) {
            const double learned = weightedCorrection(n.corrCurrent, mean, settings.neighbourFactor);
            n.learned = static_cast<float>(limited(
                c, r, n.corrCurrent, clampCorrection(std::max(settings.corrMin, std::min(learned, settings.corrMax)))));
        }
    }
}

void Accumulator::tickStandard(const AccumulationInput &in) {
    const Cell at = steadyCell(in.live, in.settings);
    if (at.col < 0)
        return;
    ++m_counters.windowHits;
    m_okToTune = in.live.rpm >= in.settings.minRpm && (m_byPressure || in.live.throttle >= m_minThrottle);
    m_trace.okToTune = m_okToTune;
    if (m_okToTune && !locked(at.col, at.row)) {
        TuningCell &cell = m_grid.at(at.row, at.col);
        if (collect(cell, at.col, at.row, in, true)) {
            if (m_sampleIndex > in.settings.cyclesPerEvaluation)
                evaluateStandard(cell, at.col, at.row, in);
            else
                m_trace.wroteCorrection = 0;
        }
    }
    ++m_counters.windowTicks;
    m_trace.evaluations = m_counters.evaluations;
}

void Accumulator::evaluateStandard(TuningCell &cell, int col, int row, const AccumulationInput &in) {
    const int n = std::min(m_sampleIndex, static_cast<int>(cell.samples.size()));
    double m = meanOf(cell.samples.data(), n);
    // Smoothed per cell from its own first evaluation on: a mean shared by all
    // cells, starting at 0, halved a cell that was already right.
    if (cell.hasSmoothedMean)
        m = (m + cell.smoothedMean) / 2;
    cell.smoothedMean = m;
    cell.hasSmoothedMean = true;
    const double a = meanOf(cell.airSamples.data(), std::min(m_sampleIndex, TuningCell::kMaxAirSamples));
    cell.meanCoef = static_cast<float>(m);
    cell.meanAir = static_cast<float>(a);
    cell.newGbc = static_cast<float>(a);
    m = deadBand(m);
    if (m == 1 || locked(col, row))
        return;
    cell.newCorr = static_cast<float>(
        limited(col, row, cell.corrThr, clampCorrection(weightedCorrection(cell.corrThr, m, in.settings.weight))));
    // The new values are kept beside the firmware's whenever the engine runs;
    // the image takes them only while tuning is on, so that neither a drive
    // before the start nor one after the stop changes the file the periodic
    // save writes and the table rewrite sends.
    if (m_tables.correction <= 0 || !m_tuningOn) // no table chosen yet, or not tuning
        return;
    m_store.storeByte(m_tables.correction + row * TuningGrid::kSize + col,
                      static_cast<std::uint8_t>(correctionByte(cell.newCorr)));
    ++m_counters.evaluations;
}

void Accumulator::tickStatistics(const LiveParameters &live, const TuningSettings &settings) {
    const int col = windowIndex(live.rpm, m_axes.rpmBounds, settings.stationaryRpm);
    if (col < 0)
        return;
    const double load = live.rpm * live.injPulse / 1200;
    const bool knock = live.flag(kKnockFlag) != 0;
    auto update = [&](double &knockCount, double &injLoad) {
        if (knock)
            knockCount += 1;
        injLoad = injLoad == 0 ? load : (injLoad + load) / 2;
    };
    const int throttleRow = windowIndex(live.throttle, m_axes.throttleBounds, settings.stationaryLoad);
    if (throttleRow >= 0) {
        TuningCell &c = m_grid.at(throttleRow, col);
        update(c.knockThr, c.injLoadThr);
    }
    const int pressureRow = windowIndex(live.pressure, m_axes.pressureBounds, settings.stationaryLoad);
    if (pressureRow >= 0) {
        TuningCell &c = m_grid.at(pressureRow, col);
        update(c.knockKpa, c.injLoadKpa);
    }
}

void Accumulator::tickPhase(const LiveParameters &live, const TuningSettings &settings, bool writeImage) {
    const int col = windowIndex(live.rpm, m_axes.rpmBounds, settings.stationaryRpm);
    if (col < 0)
        return;
    const int row = airWindowIndex(live.cyclicAir, m_axes, settings.stationaryLoad);
    if (row < 0)
        return;
    TuningCell &cell = m_grid.at(row, col);
    const int target = phaseTarget(live.rpm, live.injPulse, settings);
    cell.phase = cell.phaseCount == 0 ? static_cast<float>(target)
                                      : static_cast<float>(roundHalfEven((target + cell.phase) / 2.0));
    if (++cell.phaseCount > 20)
        cell.phaseCount = 8;
    if (writeImage && m_tuningOn && m_tables.phase > 0)
        m_store.storeByte(m_tables.phase + row * TuningGrid::kSize + col, phaseByte(cell.phase));
}

} // namespace korvel
