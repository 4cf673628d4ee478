#pragma once

#include "core/Protocol.h"
#include "live/LiveParameters.h"
#include "live/TuningTrace.h"
#include "tuning/SampleRefusal.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace korvel::cli {

struct HarnessOptions {
    int minutes = 20;
    std::uint32_t seed = 1;
    double airErrorSize = 0.15;
    Protocol protocol = Protocol::Fast;
    bool fourPoint = false;
    int neighbourPercent = 0;  // "Коэф. обучения соседних РТ"
    bool byPressure = false;   // "Настройка по" = "Давлению"
    double busyShare = 0;      // share of hand-overs that find the ECU worker busy, 0..1
    bool phase = false;        // "Настройка фазы впрыска"
    QByteArray firmware;       // empty: the demo firmware (the pressure one when tuning by pressure)
    double tickSeconds = 0.05; // one diagnostic frame every ...
    bool tune = true;          // false: the drive runs on the firmware as it is, nothing tuned
    // Every processed frame, as the CSV log takes it: the virtual time, the
    // channels and the tuning trace.
    std::function<void(double seconds, const LiveChannels &channels, const TuningTrace &trace)> onFrame;
    bool extended = true; // "Расширенная автонастройка"; false: the plain rules (--plain)
};

// The judge's figures at the end of one simulated minute. The visited cells
// are the ECU's cells the drive spent at least 5 s in with the throttle open,
// over the whole drive, so every minute is judged on the same cells and states.
struct MinuteFigures {
    int minute = 0;
    int visitedCells = 0;
    // Over the drive's own states in the visited cells, each state by itself:
    double within2pct = 0;  // share of states within ±2 % of the target mixture, 0..1
    double rmsErrorPct = 0; // RMS mixture error, percent of the target
    int cellsCorrected = 0; // cells of the tuned correction table whose byte in the ECU changed during the minute
    // RMS mixture error at the breakpoints of every corner of a visited cell, percent.
    double tableRmsPct = 0;
    // Bytes of the tuned tables (correction, cycle filling, and phase when
    // tuned) in which the image in work differs from the ECU's RAM. The last
    // minute is measured after tuning stopped and the last write-back ran.
    int imageRamDiffBytes = 0;
    // Ticks the extended tuning refused since tuning started, per reason.
    RefusalCounts::PerReason refused{};
};

// Tuning against the closed-loop simulated ECU on a virtual clock: the drive's
// frames and the wideband readings are made tick by tick without any serial
// timing; the session's engine tick decodes them and its tuning controller
// (write-back timers included) hands its writes to a worker that answers busy
// for the given share of hand-overs and otherwise writes into the simulated
// ECU's memory at once; the ECU fuels from it on the next tick. Minute 0 is a
// minute of driving before tuning starts; tuning starts as TButTune would and
// stops as TButStopTune would after the last minute. In the standard protocol
// the tuner rewrites the correction table into the ECU (TButReTune) at the end
// of every minute, as nothing is sent while tuning. Nothing comes back when
// tuning does not start. Without `tune` the whole drive is minute 0's. The figures come once the drive is over, as the
// visited cells are known only then.
// `delayReport`, when given, receives what the wideband's delay measured from
// the drive's own steps comes to, and the curve it would use.
std::vector<MinuteFigures> runClosedLoopTuning(const HarnessOptions &options,
                                               const std::function<void(const MinuteFigures &)> &perMinute = {},
                                               QString *delayReport = nullptr);

} // namespace korvel::cli
