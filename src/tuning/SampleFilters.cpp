#include "tuning/SampleFilters.h"

#include <cmath>

namespace korvel {
namespace {

SampleRefusal widebandRefusal(WidebandStatus status) {
    switch (status) {
    case WidebandStatus::Reading:
        return SampleRefusal::None;
    case WidebandStatus::WarmUp:
        return SampleRefusal::WidebandWarmUp;
    case WidebandStatus::Error:
        return SampleRefusal::WidebandError;
    case WidebandStatus::OutOfRange:
        return SampleRefusal::WidebandOutOfRange;
    case WidebandStatus::Quiet:
        return SampleRefusal::WidebandQuiet;
    }
    return SampleRefusal::WidebandError;
}

} // namespace

SampleRefusal refusalOf(const FilterFacts &f, const FilterLimits &l) {
    if (l.widebandState) {
        if (const SampleRefusal r = widebandRefusal(f.wideband); r != SampleRefusal::None)
            return r;
    }
    if (f.coolant < l.minCoolant)
        return SampleRefusal::ColdEngine;
    // The hold-off covers the exhaust still carrying air or rich gas after the
    // flag clears; a hold-off of 0 refuses only while the flag is set.
    if (f.sinceFuelCutMs <= l.fuelCutHoldMs)
        return SampleRefusal::FuelCut;
    if (f.sinceEnrichmentMs <= l.enrichmentHoldMs)
        return SampleRefusal::PowerEnrichment;
    if (l.maxThrottleRate > 0 && std::abs(f.throttleRate) > l.maxThrottleRate)
        return SampleRefusal::ThrottleRate;
    if (f.rpm < l.minRpm || f.rpm > l.maxRpm)
        return SampleRefusal::RpmLimit;
    if (f.throttle < l.minLoad || f.throttle > l.maxLoad)
        return SampleRefusal::LoadLimit;
    if (f.edge > l.centreZone)
        return SampleRefusal::CellEdge;
    return SampleRefusal::None;
}

} // namespace korvel
