#pragma once

#include "lambda/WidebandValue.h"
#include "tuning/SampleRefusal.h"

#include <limits>

namespace korvel {

// What the filters judge one tick by.
struct FilterFacts {
    WidebandStatus wideband = WidebandStatus::Reading;
    double coolant = 0;
    double rpm = 0;
    double throttle = 0;
    // Milliseconds since the flag was last seen set: 0 while it is set.
    double sinceFuelCutMs = std::numeric_limits<double>::infinity();
    double sinceEnrichmentMs = std::numeric_limits<double>::infinity();
    double throttleRate = 0; // percent per second, either way
    double edge = 0;         // 0 at the middle of the cell, 1 at its edge
};

// The limits the filters apply; a setting of the extended tuning each.
struct FilterLimits {
    bool widebandState = true;
    double minCoolant = 70;
    double fuelCutHoldMs = 2000;
    double enrichmentHoldMs = 2000;
    double maxThrottleRate = 10; // 0 or less: no limit
    double minRpm = 0, maxRpm = 6500;
    double minLoad = 0, maxLoad = 100;
    // Samples nearer the middle of their cell than this share of its half
    // width: further out the ECU fuels as much from the neighbours.
    double centreZone = 1.0;
};

// The first reason, in the order below, not to trust the tick's sample;
// SampleRefusal::None when it passes every filter. The wideband's own state
// comes first: a tick without a reading has nothing else to judge.
SampleRefusal refusalOf(const FilterFacts &facts, const FilterLimits &limits);

// When a flag of the frame was last seen set, on the tuner's clock.
class FlagHoldOff {
public:
    void see(bool set, double seconds) {
        if (set)
            m_lastSet = seconds;
    }
    double sinceMs(double seconds) const {
        return m_lastSet < 0 ? std::numeric_limits<double>::infinity() : (seconds - m_lastSet) * 1000;
    }
    void clear() { m_lastSet = -1; }

private:
    double m_lastSet = -1;
};

} // namespace korvel
