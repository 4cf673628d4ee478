#pragma once

#include <atomic>

namespace korvel {

// The window's latest plausible wideband air/fuel ratio (`afrWideband`): the
// lambda worker offers every value, the UI thread reads it every tick.
class WidebandValue {
public:
    static constexpr double Lowest = 7;   // exclusive
    static constexpr double Highest = 28; // exclusive

    // Keeps `afr` when 7 < afr < 28; other values leave the previous one.
    bool offer(double afr) {
        if (!(afr > Lowest && afr < Highest))
            return false;
        m_afr.store(afr);
        return true;
    }
    double value() const { return m_afr.load(); }
    void reset() { m_afr.store(0); }

private:
    std::atomic<double> m_afr{0}; // 0 until the first accepted value
};

} // namespace korvel
