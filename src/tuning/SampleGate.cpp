#include "tuning/SampleGate.h"

#include "tuning/CellLocks.h"

#include <cmath>

namespace korvel {

void SampleGate::clear() {
    m_history.clear();
    m_fuelCut.clear();
    m_enrichment.clear();
    m_lastReadingMs = -1;
    m_currentCell = -1;
    m_counts.clear();
}

double SampleGate::throttleRate(const GateFrame &frame) const {
    const std::optional<FrameRecord> then = m_history.at(frame.seconds - kThrottleRateSpan);
    const std::optional<FrameRecord> earliest = then ? then : m_history.from(frame.seconds - kThrottleRateSpan);
    if (!earliest || frame.seconds - earliest->seconds <= 0)
        return 0;
    return (frame.throttle - earliest->throttle) / (frame.seconds - earliest->seconds);
}

GateVerdict SampleGate::take(const GateFrame &frame, const WidebandSample &wideband, const GateSettings &settings,
                             const CellLocks *locks, bool counting) {
    const double rate = throttleRate(frame);
    m_history.push({frame.seconds, frame.cell, frame.afrEcu, frame.ecuTrim, frame.throttle});
    m_fuelCut.see(frame.fuelCut, frame.seconds);
    m_enrichment.see(frame.powerEnrichment, frame.seconds);
    m_currentCell = frame.cell;
    if (frame.cell < 0)
        return {};
    // A reading already judged is no new sample: a controller slower than
    // the frames would otherwise count one reading several times.
    if (wideband.status == WidebandStatus::Reading && wideband.readingMs == m_lastReadingMs)
        return {};
    if (wideband.status == WidebandStatus::Reading)
        m_lastReadingMs = wideband.readingMs;

    const FilterFacts facts{wideband.status,
                            frame.coolant,
                            frame.rpm,
                            frame.throttle,
                            m_fuelCut.sinceMs(frame.seconds),
                            m_enrichment.sinceMs(frame.seconds),
                            rate,
                            frame.edge};
    GateVerdict verdict{refusalOf(facts, settings.limits), std::nullopt};
    if (verdict.refusal == SampleRefusal::None)
        verdict = judge(frame, wideband, settings, locks);
    if (counting)
        m_counts.count(verdict.refusal, frame.cell);
    return verdict;
}

// The reading shows the mixture of the frame one delay before it came; a
// reading that came from another cell's frame says nothing about this one.
GateVerdict SampleGate::judge(const GateFrame &frame, const WidebandSample &wideband, const GateSettings &settings,
                              const CellLocks *locks) {
    if (locks && locks->locked(frame.cell))
        return {SampleRefusal::Locked, std::nullopt};
    if (wideband.status != WidebandStatus::Reading || !(wideband.afr > 0)) // the state filter is off
        return {};
    const double readingSeconds = static_cast<double>(wideband.readingMs) / 1000.0;
    const std::optional<FrameRecord> paired = m_history.at(readingSeconds - settings.delay.delayMs(frame.rpm) / 1000.0);
    if (!paired || paired->cell != frame.cell)
        return {SampleRefusal::Transition, std::nullopt};
    if (!(paired->afrEcu > 0)) // the ECU reported no target: nothing to compare with
        return {};
    const double trim = settings.ecuTrimOut && paired->ecuTrim > 0 ? paired->ecuTrim : 1.0;
    return {SampleRefusal::None, wideband.afr / paired->afrEcu * trim};
}

} // namespace korvel
