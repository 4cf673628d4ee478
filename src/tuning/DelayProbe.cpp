#include "tuning/DelayProbe.h"

#include <algorithm>
#include <cmath>

namespace korvel {
namespace {

double medianOf(std::vector<double> values) {
    if (values.empty())
        return 0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    if (values.size() % 2 == 1)
        return *mid;
    const double upper = *mid;
    const double lower = *std::max_element(values.begin(), mid);
    return (lower + upper) / 2;
}

} // namespace

void DelayProbe::clear() {
    m_recent.clear();
    m_waiting = false;
    m_lastReadingMs = -1;
    m_measurements.clear();
}

// The pulse and the readings over the steady stretch before now: means, and
// whether both stayed within their spread.
bool DelayProbe::steadyBefore(double &pulse, double &afr) const {
    if (m_recent.empty() || m_recent.back().seconds - m_recent.front().seconds < kSteadySeconds * 0.9)
        return false;
    double pLow = m_recent.front().pulse, pHigh = pLow, aLow = 1e9, aHigh = 0, pSum = 0, aSum = 0;
    int readings = 0;
    for (const Tick &t : m_recent) {
        pLow = std::min(pLow, t.pulse);
        pHigh = std::max(pHigh, t.pulse);
        pSum += t.pulse;
        if (t.afr > 0) {
            aLow = std::min(aLow, t.afr);
            aHigh = std::max(aHigh, t.afr);
            aSum += t.afr;
            ++readings;
        }
    }
    pulse = pSum / static_cast<double>(m_recent.size());
    if (readings * 2 < static_cast<int>(m_recent.size()) || pulse <= 0)
        return false;
    afr = aSum / readings;
    return (pHigh - pLow) <= kPulseSteady * pulse && (aHigh - aLow) <= kMixtureSteady * afr;
}

void DelayProbe::add(double seconds, double rpm, double injPulse, const WidebandSample &wideband) {
    const bool newReading = wideband.readingMs != m_lastReadingMs;
    m_lastReadingMs = wideband.readingMs;
    const double afr = wideband.status == WidebandStatus::Reading ? wideband.afr : 0;

    if (m_waiting) {
        const double since = seconds - m_stepAt;
        const bool railed = wideband.status == WidebandStatus::OutOfRange || wideband.status == WidebandStatus::Error;
        const bool moved = afr > 0 && newReading && std::abs(afr / m_afrBefore - 1) >= kResponse;
        if (railed || moved) {
            const double at =
                wideband.readingMs >= 0 && !railed ? static_cast<double>(wideband.readingMs) / 1000 : seconds;
            m_measurements.push_back({m_stepRpm, std::max(0.0, at - m_stepAt) * 1000});
            m_waiting = false;
        } else if (since > kGiveUpSeconds) {
            m_waiting = false;
        }
    } else {
        double pulse = 0, afrBefore = 0;
        if (steadyBefore(pulse, afrBefore) && std::abs(injPulse - pulse) >= kPulseStep * pulse) {
            m_waiting = true;
            m_stepAt = seconds;
            m_stepRpm = rpm;
            m_afrBefore = afrBefore;
        }
    }
    m_recent.push_back({seconds, injPulse, afr});
    while (!m_recent.empty() && seconds - m_recent.front().seconds > kSteadySeconds)
        m_recent.pop_front();
}

double DelayProbe::medianMs() const {
    std::vector<double> all;
    for (const Measurement &m : m_measurements)
        all.push_back(m.ms);
    return medianOf(all);
}

DelayCurve DelayProbe::curve(const DelayCurve &base) const {
    if (m_measurements.empty() || base.points().empty())
        return base;
    // Each measurement against the base curve at its speed: the ratio fills the bands without steps.
    std::vector<double> ratios;
    for (const Measurement &m : m_measurements)
        if (base.delayMs(m.rpm) > 0)
            ratios.push_back(m.ms / base.delayMs(m.rpm));
    const double ratio = ratios.empty() ? 1.0 : medianOf(ratios);
    const std::vector<DelayCurve::Point> &points = base.points();
    std::vector<DelayCurve::Point> out;
    for (std::size_t i = 0; i < points.size(); ++i) {
        // The band of point i reaches halfway to its neighbours.
        const double low = i == 0 ? -1 : (points[i - 1].rpm + points[i].rpm) / 2;
        const double high = i + 1 == points.size() ? 1e9 : (points[i].rpm + points[i + 1].rpm) / 2;
        std::vector<double> band;
        for (const Measurement &m : m_measurements)
            if (m.rpm > low && m.rpm <= high)
                band.push_back(m.ms);
        const double ms = static_cast<int>(band.size()) >= kStepsPerBand ? medianOf(band) : points[i].ms * ratio;
        out.push_back({points[i].rpm, ms});
    }
    return DelayCurve(std::move(out));
}

QString DelayProbe::report(const DelayCurve &base) const {
    if (m_measurements.empty())
        return QStringLiteral("задержка ШДК: шагов впрыска не найдено; кривая: %1").arg(base.text());
    return QStringLiteral("задержка ШДК: медиана %1 мс по %2 шагам; кривая: %3")
        .arg(std::round(medianMs()))
        .arg(m_measurements.size())
        .arg(curve(base).text());
}

} // namespace korvel
