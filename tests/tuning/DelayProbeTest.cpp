#include "tuning/DelayProbe.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;

namespace {

constexpr double kProbeTick = 0.05;

// A drive made of steps: the injection pulse holds for a second, then jumps
// (up or down); the wideband answers `delayMs` later by moving to its new
// value, by railing (a fuel cut), or never.
struct ProbeDrive {
    DelayProbe probe;
    double t = 0;
    double pulse = 3.0;
    double afr = 14.7;

    void tick(double rpm, double p, WidebandStatus status, double a) {
        probe.add(t, rpm, p, {status, a, std::llround(t * 1000)});
        t += kProbeTick;
    }
    enum class Answer { Moves, Rails, Never };
    void step(double rpm, double delayMs, Answer answer = Answer::Moves) {
        for (int i = 0; i < 20; ++i)
            tick(rpm, pulse, WidebandStatus::Reading, afr);
        const double stepAt = t;
        const double newPulse = answer == Answer::Rails ? 0 : (pulse == 3.0 ? 4.0 : 3.0);
        const double newAfr = answer == Answer::Never ? afr : (afr == 14.7 ? 13.9 : 14.7);
        for (int i = 0; i < 40; ++i) {
            const bool answered = t - stepAt >= delayMs / 1000 - 1e-9;
            if (answered && answer == Answer::Rails)
                tick(rpm, newPulse, WidebandStatus::OutOfRange, 0);
            else
                tick(rpm, newPulse, WidebandStatus::Reading, answered ? newAfr : afr);
        }
        pulse = newPulse;
        afr = newAfr;
    }
};

} // namespace

TEST(DelayProbe, TheMedianOfTheStepsAndACurveFromEachSpeedBand) {
    ProbeDrive drive;
    EXPECT_EQ(drive.probe.curve().text(), DelayCurve::standard().text()) << "nothing measured: the curve as it is";
    for (double ms : {400, 350, 450})
        drive.step(800, ms); // the idle band: 350, 400, 450
    for (double ms : {100, 100, 150})
        drive.step(4000, ms);                         // the 4000 band
    drive.step(2000, 0, ProbeDrive::Answer::Never);   // no answer within 2 s: no measurement
    drive.step(2000, 300, ProbeDrive::Answer::Rails); // a fuel cut: the reading rails
    ASSERT_EQ(drive.probe.measurements().size(), 7U);
    EXPECT_NEAR(drive.probe.medianMs(), 300, 1); // the clock's milliseconds
    // Bands with three steps take their median; the others the standard curve
    // times the median of every step's ratio to it: of 400/200, 350/200,
    // 450/200, 100/90, 100/90, 150/90 and 300/140 that is 350/200.
    const DelayCurve curve = drive.probe.curve();
    ASSERT_EQ(curve.points().size(), 4U);
    EXPECT_NEAR(curve.delayMs(800), 400, 1);
    EXPECT_NEAR(curve.delayMs(4000), 100, 1);
    const double ratio = 350.0 / 200.0;
    EXPECT_NEAR(curve.delayMs(2000), 140 * ratio, 2);
    EXPECT_NEAR(curve.delayMs(6000), 50 * ratio, 1);
    EXPECT_TRUE(drive.probe.report().startsWith(QStringLiteral("задержка ШДК: медиана 300 мс по 7 шагам")))
        << drive.probe.report().toStdString();
}
