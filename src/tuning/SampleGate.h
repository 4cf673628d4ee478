#pragma once

#include "lambda/WidebandValue.h"
#include "tuning/DelayCurve.h"
#include "tuning/FrameHistory.h"
#include "tuning/SampleFilters.h"
#include "tuning/SampleRefusal.h"

#include <optional>

namespace korvel {

class CellLocks;

// One processed frame as the gate sees it.
struct GateFrame {
    double seconds = 0; // the tuner's clock: wall time in the window, virtual in a replay
    int cell = -1;      // the cell tuning puts the frame in; -1 none
    double edge = 0;    // how far from the cell's middle: 0 middle, 1 edge
    double rpm = 0;
    double throttle = 0;
    double coolant = 0;
    double afrEcu = 0;  // the ECU's target
    double ecuTrim = 1; // the ECU's own correction coefficient
    bool fuelCut = false;
    bool powerEnrichment = false;
};

struct GateSettings {
    FilterLimits limits;
    DelayCurve delay = DelayCurve::standard();
    bool ecuTrimOut = true; // the sample leaves out the ECU's own correction
};

// The gate's word on one tick: a sample to take, a refusal, or neither (no
// cell, or no new reading since the last one was judged).
struct GateVerdict {
    SampleRefusal refusal = SampleRefusal::None;
    std::optional<double> sample{}; // measured over the paired frame's target
};

// Decides, frame by frame, which wideband readings tuning may learn from: it
// keeps a short history of the frames, pairs every new reading with the frame
// one transport delay before it, and applies the filters. It runs on whatever
// clock its caller gives, so a replayed log goes through it as a drive does.
class SampleGate {
public:
    // The throttle rate is measured over this span: a whole percent between
    // two frames 50 ms apart would read 20 %/s.
    static constexpr double kThrottleRateSpan = 0.5;

    // `counting`: refusals are counted (tuning is on). Every frame joins the
    // history whether or not it is judged.
    GateVerdict take(const GateFrame &frame, const WidebandSample &wideband, const GateSettings &settings,
                     const CellLocks *locks, bool counting);
    // A new connection or drive: the history, hold-offs and counts start again.
    void clear();
    const RefusalCounts &counts() const { return m_counts; }
    // The cell of the last frame (-1 none).
    int currentCell() const { return m_currentCell; }

private:
    double throttleRate(const GateFrame &frame) const;
    GateVerdict judge(const GateFrame &frame, const WidebandSample &wideband, const GateSettings &settings,
                      const CellLocks *locks);

    FrameHistory m_history;
    FlagHoldOff m_fuelCut;
    FlagHoldOff m_enrichment;
    std::int64_t m_lastReadingMs = -1;
    int m_currentCell = -1;
    RefusalCounts m_counts;
};

} // namespace korvel
