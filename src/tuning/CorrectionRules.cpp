#include "tuning/CorrectionRules.h"

#include "core/Numbers.h"
#include "firmware/TuningAddressSets.h"

#include <algorithm>

namespace korvel {

double deadBand(double m) {
    if ((m >= 0.993 && m < 1) || (m > 1 && m <= 1.007))
        return 1;
    return m;
}

double weightedCorrection(double base, double mean, double weightPercent) {
    return ((mean - 1) * weightPercent / 100 + 1) * base;
}

double clampCorrection(double value) {
    return std::clamp(value, kCorrectionFloor, kCorrectionCeiling);
}

double steppedCorrection(double v, double m, double weightPercent) {
    if (m == 1)
        return v;
    if (m >= 0.98 && m < 1)
        v -= kCorrectionStep;
    else if (m > 1 && m <= 1.02)
        v += kCorrectionStep;
    else
        v = weightedCorrection(v, m, weightPercent);
    return clampCorrection(v);
}

int correctionByte(double value) {
    return static_cast<int>(std::clamp(roundHalfEven(value * 128), 0.0, 255.0));
}

double gbcScale(int column) {
    return column == tuningcolumn::GbcKpa ? kGbcPressureScale : kGbcThrottleScale;
}

int gbcByte(double value, double scale) {
    return static_cast<int>(std::clamp(roundHalfEven(value / scale), 0.0, 255.0));
}

} // namespace korvel
