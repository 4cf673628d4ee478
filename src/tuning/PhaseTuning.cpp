#include "tuning/PhaseTuning.h"

#include "core/Numbers.h"
#include "tuning/TuningSettings.h"

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
    return static_cast<std::uint8_t>(static_cast<int>(roundHalfEven(phase / 6)) & 0xFF);
}

} // namespace korvel
