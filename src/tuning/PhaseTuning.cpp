#include "tuning/PhaseTuning.h"

#include "core/Numbers.h"
#include "tuning/TuningSettings.h"

#include <algorithm>

namespace korvel {

int phaseTarget(double rpm, double injPulse, const TuningSettings &s) {
    const int d = static_cast<int>(roundHalfEven(rpm / 60 / 2 * 360 / 1000));
    const double f = d * injPulse;
    const int c = s.intakeClose;
    const int o = s.intakeOpen;
    if (!s.phaseOpenValve)
        return static_cast<int>(roundHalfEven(360 - o - f));
    const int h = (c + 540) - (360 - o);
    const double j = h > f ? roundHalfEven(c - h / 2.0 - f / 2) : roundHalfEven(c - f);
    return static_cast<int>(j) + 540;
}

std::uint8_t phaseByte(double phase) {
    // The low eight bits of the rounded value (within int, whatever the phase).
    const double rounded = std::clamp(roundHalfEven(phase / 6), -1e9, 1e9);
    return static_cast<std::uint8_t>(static_cast<long long>(rounded) & 0xFF);
}

} // namespace korvel
