#pragma once

#include "lambda/WidebandValue.h"
#include "tuning/DelayCurve.h"

#include <QString>

#include <deque>
#include <vector>

namespace korvel {

// Measures the wideband's delay from the drive's own steps in injection
// pulse: a pulse that jumps after a steady stretch (a tip-in, a fuel cut, the
// end of one) changes the mixture at the sensor one transport delay later.
// The time from the step to the first reading that moved off its steady
// value is one measurement; the curve takes the median of each speed band.
class DelayProbe {
public:
    struct Measurement {
        double rpm = 0;
        double ms = 0;
    };
    // The steady stretch before a step, the pulse jump that makes one, and
    // the mixture change that answers it.
    static constexpr double kSteadySeconds = 0.5;
    static constexpr double kPulseStep = 0.2;       // 20 % of the pulse before
    static constexpr double kPulseSteady = 0.05;    // spread of the pulse before
    static constexpr double kMixtureSteady = 0.015; // spread of the readings before
    static constexpr double kResponse = 0.03;       // 3 % off the reading before
    static constexpr double kGiveUpSeconds = 2.0;
    // A band needs this many steps before its own median counts.
    static constexpr int kStepsPerBand = 3;

    // One processed frame: the tuner's clock, engine speed, injection pulse
    // (ms) and the controller's state. A railed or faulty reading after a
    // step is a response as well (free air after a fuel cut).
    void add(double seconds, double rpm, double injPulse, const WidebandSample &wideband);
    void clear();

    const std::vector<Measurement> &measurements() const { return m_measurements; }
    // The median over every step, ms; 0 with none.
    double medianMs() const;
    // The curve at the speed points of `base`: each band's median where it
    // has enough steps, elsewhere `base` scaled by the ratio of the medians.
    // `base` itself while nothing was measured.
    DelayCurve curve(const DelayCurve &base = DelayCurve::standard()) const;
    // "задержка ШДК: медиана N мс по K шагам; кривая: ..." for the log, the CLI and the page.
    QString report(const DelayCurve &base = DelayCurve::standard()) const;

private:
    struct Tick {
        double seconds;
        double pulse;
        double afr; // 0: no reading
    };
    bool steadyBefore(double &pulse, double &afr) const;

    std::deque<Tick> m_recent;
    bool m_waiting = false;
    double m_stepAt = 0;
    double m_stepRpm = 0;
    double m_afrBefore = 0;
    std::int64_t m_lastReadingMs = -1;
    std::vector<Measurement> m_measurements;
};

} // namespace korvel
