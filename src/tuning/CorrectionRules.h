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
// A cycle filling as its table byte: Round(v × 3 / 8) within 0..255.
int gbcByte(double value);

} // namespace korvel
