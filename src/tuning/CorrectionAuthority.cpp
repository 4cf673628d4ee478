#include "tuning/CorrectionAuthority.h"

#include "tuning/TuningGrid.h"

#include <algorithm>

namespace korvel {

double limitedCorrection(double proposed, double current, double start, const AuthorityLimits &l) {
    const double lowest = std::min(l.corrMin, l.corrMax);
    const double highest = std::max(l.corrMin, l.corrMax);
    const double bandLow = std::clamp(start - l.band, lowest, highest);
    const double bandHigh = std::clamp(start + l.band, lowest, highest);
    const double wanted = std::clamp(proposed, bandLow, bandHigh);
    const double step = std::max(l.step, 0.0);
    return std::clamp(wanted, current - step, current + step);
}

void CorrectionAuthority::start(const TuningGrid &grid, const AuthorityLimits &limits) {
    m_limits = limits;
    for (int i = 0; i < kCells; ++i)
        m_start[static_cast<std::size_t>(i)] = grid.cells[static_cast<std::size_t>(i)].corrCurrent;
}

double CorrectionAuthority::limit(int cell, double current, double proposed) const {
    if (cell < 0 || cell >= kCells)
        return current;
    return limitedCorrection(proposed, current, m_start[static_cast<std::size_t>(cell)], m_limits);
}

} // namespace korvel
