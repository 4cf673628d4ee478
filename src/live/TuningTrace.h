#pragma once

namespace korvel {

// The state of the tuning in progress, appended to every CSV log line; all
// zero until the tuning fills it.
struct TuningTrace {
    int tuningStarted = 0;
    int okToTune = 0;         // the operating point may be tuned
    int statCount = 0;        // cycles steady in the current cell
    int sampleIndex = 0;      // samples counted for the evaluation
    int evaluations = 0;      // evaluations done
    int wroteCorrection = 0;  // the last evaluation wrote a correction (1 or 0)
    double oldCorrection = 0; // the cell's previous correction (table byte / 128)
    double newCorrection = 0;
};

} // namespace korvel
