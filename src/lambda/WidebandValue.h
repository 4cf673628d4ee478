#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace korvel {

// What the wideband controller gives tuning at one moment.
enum class WidebandStatus {
    Reading,    // a plausible reading, newer than 3 of the controller's periods
    WarmUp,     // nothing plausible since the controller started: its heater warms up
    Error,      // its last message reported a fault (a zero or negative value)
    OutOfRange, // its last message was railed, outside what the sensor measures
    Quiet,      // no new reading within 3 of its periods
};
struct WidebandSample {
    WidebandStatus status = WidebandStatus::WarmUp;
    double afr = 0;
    std::int64_t readingMs = -1; // when the reading came
};

// The window's latest plausible wideband air/fuel ratio (`afrWideband`): the
// lambda worker offers every value, the UI thread reads it every tick. A
// controller that has sent no plausible value for several of its own periods
// (unplugged, its line dropped, its sensor cold) has no reading: the value is
// 0 then, as before the first one, and tuning takes no sample from it.
class WidebandValue {
public:
    static constexpr double Lowest = 7;   // exclusive
    static constexpr double Highest = 28; // exclusive
    // Periods of silence after which the last value no longer counts.
    static constexpr std::int64_t SilentPeriods = 4;
    // The extended tuning trusts only a reading newer than this many periods.
    static constexpr std::int64_t FreshPeriods = 3;
    // The controller's period is learned from the gaps between its messages;
    // values parsed from one burst of bytes arrive together, so the estimate
    // has a floor, and a gap beyond a second counts as one second.
    static constexpr std::int64_t MinPeriodMs = 50;
    static constexpr std::int64_t MaxPeriodMs = 1000;
    static constexpr std::int64_t FirstPeriodMs = 250; // before two messages came

    // Keeps `afr` when 7 < afr < 28; other values leave the previous one.
    bool offer(double afr) { return offer(afr, nowMs()); }
    bool offer(double afr, std::int64_t atMs) {
        const std::int64_t last = m_lastMessageMs.exchange(atMs);
        if (last >= 0) {
            const std::int64_t gap = std::clamp<std::int64_t>(atMs - last, 0, MaxPeriodMs);
            const std::int64_t period = (m_periodMs.load() * 7 + gap) / 8;
            m_periodMs.store(std::max(period, MinPeriodMs));
        }
        m_lastOffered.store(afr);
        if (!(afr > Lowest && afr < Highest))
            return false;
        m_afr.store(afr);
        m_acceptedMs.store(atMs);
        return true;
    }
    double value() const { return value(nowMs()); }
    double value(std::int64_t atMs) const {
        const std::int64_t accepted = m_acceptedMs.load();
        if (accepted < 0 || atMs - accepted > SilentPeriods * m_periodMs.load())
            return 0;
        return m_afr.load();
    }
    // The state of the controller and its reading for the extended tuning.
    WidebandSample sample(std::int64_t atMs) const {
        const std::int64_t last = m_lastMessageMs.load();
        const std::int64_t accepted = m_acceptedMs.load();
        const std::int64_t fresh = FreshPeriods * m_periodMs.load();
        if (last < 0)
            return {WidebandStatus::WarmUp, 0, -1};
        if (atMs - last > fresh)
            return {accepted < 0 ? WidebandStatus::WarmUp : WidebandStatus::Quiet, 0, accepted};
        const double offered = m_lastOffered.load();
        if (!(offered > 0))
            return {WidebandStatus::Error, 0, accepted};
        if (!(offered > Lowest && offered < Highest))
            return {WidebandStatus::OutOfRange, 0, accepted};
        return {WidebandStatus::Reading, m_afr.load(), accepted};
    }
    void reset() {
        m_lastOffered.store(0);
        m_afr.store(0);
        m_acceptedMs.store(-1);
        m_lastMessageMs.store(-1);
        m_periodMs.store(FirstPeriodMs);
    }

    static std::int64_t nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    std::atomic<double> m_afr{0};
    std::atomic<double> m_lastOffered{0};          // the last value of any kind
    std::atomic<std::int64_t> m_acceptedMs{-1};    // when the last plausible value came; -1 none yet
    std::atomic<std::int64_t> m_lastMessageMs{-1}; // when the last value of any kind came
    std::atomic<std::int64_t> m_periodMs{FirstPeriodMs};
};

// Where only the value the wideband showed with each frame is known (a
// simulated frame, a logged line), not when it came: a value counts as read
// with its frame, 0 as warming up before the first value and as quiet after.
class ShownWidebandReadings {
public:
    WidebandSample at(double seconds, double afr) {
        if (afr > 0) {
            m_hadReading = true;
            return {WidebandStatus::Reading, afr, std::llround(seconds * 1000)};
        }
        return {m_hadReading ? WidebandStatus::Quiet : WidebandStatus::WarmUp, 0, -1};
    }

private:
    bool m_hadReading = false;
};

} // namespace korvel
