#pragma once

#include <array>

namespace korvel {

struct TuningGrid;

// How far tuning may move a correction (1.0 = no correction): by at most
// `step` per evaluation, and never further than `band` from the value the
// cell had when tuning started; both inside [corrMin, corrMax].
struct AuthorityLimits {
    double step = 0.05;
    double band = 0.25;
    double corrMin = 0.05;
    double corrMax = 1.95;
};

// The new correction within the limits. The step always holds: a cell that
// lies outside its band (the limits were narrowed) walks back into it one
// step at a time instead of jumping.
double limitedCorrection(double proposed, double current, double start, const AuthorityLimits &limits);

// The limits of one tuning run with the values every cell started from.
class CorrectionAuthority {
public:
    static constexpr int kCells = 256;

    // Tuning starts: every cell's correction now is its start value.
    void start(const TuningGrid &grid, const AuthorityLimits &limits);
    double limit(int cell, double current, double proposed) const;
    double startValue(int cell) const { return m_start[static_cast<std::size_t>(cell)]; }
    const AuthorityLimits &limits() const { return m_limits; }

private:
    std::array<double, kCells> m_start{};
    AuthorityLimits m_limits;
};

} // namespace korvel
