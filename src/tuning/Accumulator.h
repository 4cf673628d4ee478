#pragma once

#include "live/TuningTrace.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningSettings.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace korvel {

class CellLocks;
class CorrectionAuthority;
class FirmwareStore;
class OwedBytes;
class TuningWrites;
struct LiveParameters;
struct TuningCell;
struct TuningGrid;

// Counts shown in status panel 5 while tuning.
struct TuningCounters {
    int gbcWrites = 0;     // cycle-filling tables handed to the ECU
    int evaluations = 0;   // evaluations that produced a correction
    int samplesStored = 0; // samples stored
    int windowTicks = 0;   // ticks spent in a cell window while tuning
    int windowHits = 0;    // ticks in a cell window, tuning or not

    // "GBC//P/A//All:" g "//" p "/" a "//" w
    QString statusText() const;
};

// Where the corrections go: the correction table being tuned and the phase
// table (image addresses; -1 or 0 while there is none: nothing is written).
struct TuningTargetTables {
    std::int64_t correction = -1;
    std::int64_t phase = -1;
};

// Whether the tick measured the mixture: the narrowband sensor's coefficient,
// or both the wideband's and the ECU's ratio. A silent or warming wideband
// reads 0; a tick without a reading is no sample for any method.
bool hasMixtureReading(const LiveParameters &live);

// The standard protocol evaluates over at most this many recent samples of a cell.
inline constexpr int kStandardSampleWindow = 100;

// What one processed engine tick hands to the accumulation.
struct AccumulationInput {
    const LiveParameters &live;
    const TuningSettings &settings;
    bool linkUp = false; // serial port and ECU both connected
    bool gridChoiceShowsCells = false;
    // The extended tuning judged the tick: its sample, or none to store.
    bool checked = false;
    std::optional<double> checkedSample{};
};

// The per-cell accumulation of mixture samples and its corrections, one pass
// per processed engine tick: the fast protocol's (corrections written into the
// image and sent byte by byte) and the standard protocol's (new values kept
// beside the firmware's), the phase update of the same cell, and the knock
// and injector-load statistics of every cell the engine is in.
class Accumulator {
public:
    Accumulator(TuningGrid &grid, const GridAxes &axes, FirmwareStore &store);

    // Tuning starts: the load boundaries are taken from the axes now. The load
    // axis is the one of the correction table being tuned.
    void start(bool byPressure, bool neighbourLearning);
    // The load axis while tuning is off (the standard protocol collects anyway).
    void setLoadAxis(bool byPressure);
    void stop() { m_tuningOn = false; }
    // A connection starts: the remembered cell is forgotten, the minimum
    // throttle taken for this connection.
    void startConnection(int minThrottle);

    void setTables(const TuningTargetTables &tables) { m_tables = tables; }
    void setWrites(TuningWrites *writes) { m_writes = writes; }
    // The correction table's owed bytes: a correction joins them and goes out
    // at once when the worker is free, else at the next free hand-over.
    void setOwed(OwedBytes *owed) { m_owed = owed; }
    // Locked cells never change, and neighbour learning leaves them alone.
    void setLocks(const CellLocks *locks) { m_locks = locks; }
    // The extended tuning's limits on every change of a correction; none: the plain rules.
    void setAuthority(const CorrectionAuthority *authority) { m_authority = authority; }

    // The cell whose windows hold the operating point (row × 16 + column), -1 none.
    int cellIndex(const LiveParameters &live, const TuningSettings &settings) const;
    // How far the operating point lies from the middle of that cell: 0 at its
    // middle, 1 at its edge, the further of the two axes; -1 outside every cell.
    double edgeDistance(const LiveParameters &live, const TuningSettings &settings) const;

    void tickFast(const AccumulationInput &in);
    // The standard protocol collects and evaluates whenever a firmware is
    // loaded; its corrections reach the image only while tuning is on.
    void tickStandard(const AccumulationInput &in);
    // Independent of tuning: knock counts and smoothed injector load.
    void tickStatistics(const LiveParameters &live, const TuningSettings &settings);
    // The phase of the cell the engine runs in (the caller decides whether
    // phase tuning applies); the standard protocol writes it into the image
    // while tuning is on.
    void tickPhase(const LiveParameters &live, const TuningSettings &settings, bool writeImage);

    bool tuningOn() const { return m_tuningOn; }
    bool neighbourOn() const { return m_neighbourOn; }
    // The load axis of the running (or last) tuning.
    bool byPressure() const { return m_byPressure; }
    int minThrottle() const { return m_minThrottle; }
    TuningTrace &trace() { return m_trace; }
    const TuningTrace &trace() const { return m_trace; }
    TuningCounters &counters() { return m_counters; }
    const TuningCounters &counters() const { return m_counters; }
    // The grid's corner cell: empty while waiting, "ОК" + evaluations after one.
    const QString &cornerText() const { return m_cornerText; }
    // The cell the last sample came from (1-based; 0 none).
    int curCol() const { return m_curCol; }
    int curRow() const { return m_curRow; }
    int statCount() const { return m_statCount; }
    int sampleIndex() const { return m_sampleIndex; }
    const std::array<float, GridAxes::kPoints> &loadBounds() const { return m_loadBounds; }

private:
    struct Cell {
        int col = -1;
        int row = -1;
    };
    Cell steadyCell(const LiveParameters &live, const TuningSettings &settings) const;
    bool locked(int col, int row) const;
    // The change an evaluation may make under the extended tuning's limits.
    double limited(int col, int row, double current, double proposed) const;
    // Steps 3 to 5 of both variants; true when the tick reached the sample step.
    bool collect(TuningCell &cell, int col, int row, const AccumulationInput &in, bool bounded);
    static double sampleValue(const LiveParameters &live);
    void evaluateFast(TuningCell &cell, int col, int row, const AccumulationInput &in);
    void evaluateStandard(TuningCell &cell, int col, int row, const AccumulationInput &in);
    void learnNeighbours(int col, int row, double mean, const TuningSettings &settings);

    TuningGrid &m_grid;
    const GridAxes &m_axes;
    FirmwareStore &m_store;
    TuningWrites *m_writes = nullptr;
    OwedBytes *m_owed = nullptr;
    const CellLocks *m_locks = nullptr;
    const CorrectionAuthority *m_authority = nullptr;
    TuningTargetTables m_tables;

    std::array<float, GridAxes::kPoints> m_loadBounds{};
    int m_curCol = 0, m_curRow = 0;
    int m_statCount = 0;
    int m_sampleIndex = 0;
    double m_sumCoef = 0, m_sumAir = 0;
    bool m_tuningOn = false;
    bool m_okToTune = false;
    int m_minThrottle = 0;
    bool m_neighbourOn = false;
    bool m_byPressure = false;

    TuningTrace m_trace;
    TuningCounters m_counters;
    QString m_cornerText;
};

} // namespace korvel
