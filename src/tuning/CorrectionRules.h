#pragma once

namespace korvel {

// Fixed limits of a correction learned from the mixture (1.0 = no correction).
inline constexpr double kCorrectionFloor = 0.05;
inline constexpr double kCorrectionCeiling = 1.95;
// Small steps for small errors.
inline constexpr double kCorrectionStep = 0.009;

// A mean coefficient within 0.7 % of 1 counts as exactly 1.
double deadBand(double mean);

// The fast protocol's new correction from the current one: ±0.009 within 2 %,
// else the error weighted by `weightPercent`, always within the fixed limits.
// `mean` has been through the dead band; 1 leaves the correction alone.
double steppedCorrection(double current, double mean, double weightPercent);

// The weighted correction without the small steps: (mean − 1) × w / 100 + 1 times base.
double weightedCorrection(double base, double mean, double weightPercent);

double clampCorrection(double value);

// A correction as its table byte: Round(v × 128) within 0..255.
int correctionByte(double value);
// The cycle-filling tables' scales: a byte of the table by throttle holds
// 3/8 of the filling, one of the table by pressure 3/16.
inline constexpr double kGbcThrottleScale = 8.0 / 3.0;
inline constexpr double kGbcPressureScale = 16.0 / 3.0;
// The scale of the cycle-filling table in `column` of the address set (1 or 2).
double gbcScale(int column);
// A cycle filling as its table byte: Round(v / scale) within 0..255; the
// throttle table's scale unless given.
int gbcByte(double value, double scale = kGbcThrottleScale);

} // namespace korvel
