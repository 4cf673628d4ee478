#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace korvel::cli {

struct HarnessOptions {
    int minutes = 20;
    std::uint32_t seed = 1;
    double airErrorSize = 0.15;
    bool fourPoint = false;
    double tickSeconds = 0.05; // one diagnostic frame every ...
};

// The mixture error of the ECU's tables at the end of one simulated minute, over
// the cells the whole drive fuelled in for a while, at the drive's own states
// there (the same cells and states every minute).
struct MinuteFigures {
    int minute = 0;
    int visitedCells = 0;
    double within2pct = 0;  // share of visited cells within ±2 % of the target, 0..1
    double rmsErrorPct = 0; // RMS of the cells' mean mixture error, percent of the target
    int cellsCorrected = 0; // cells whose correction was written during the minute
};

// Tuning against the closed-loop simulated ECU on a virtual clock: the drive's
// frames and the wideband readings are made tick by tick without any serial
// timing; the session's engine tick decodes them and its tuning controller
// (write-back timers included) writes its corrections straight into the
// simulated ECU's memory, which fuels from them on the next tick. Minute 0 is
// a minute of driving before tuning starts; tuning starts as TButTune would.
// Nothing comes back when tuning does not start. The figures come once
// the drive is over, as the visited cells are known only then.
std::vector<MinuteFigures> runClosedLoopTuning(const HarnessOptions &options,
                                               const std::function<void(const MinuteFigures &)> &perMinute = {});

} // namespace korvel::cli
