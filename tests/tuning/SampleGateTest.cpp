#include "tuning/SampleGate.h"
#include "tuning/CellLocks.h"
#include "tuning/FrameHistory.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;

namespace {

constexpr double kFramePeriod = 0.05;

// A warm engine at 2000 rpm (140 ms of delay on the standard curve), frames
// every 50 ms; the cell, target and flags as each test sets them.
struct GateFixture : ::testing::Test {
    SampleGate gate;
    GateSettings settings;
    CellLocks locks;

    GateFixture() {
        settings.limits.minRpm = 700;
        settings.limits.minLoad = 2;
    }
    static GateFrame frameAt(double seconds, int cell, double afrEcu = 14.7) {
        GateFrame f;
        f.seconds = seconds;
        f.cell = cell;
        f.rpm = 2000;
        f.throttle = 20;
        f.coolant = 90;
        f.afrEcu = afrEcu;
        return f;
    }
    static WidebandSample readingAt(double seconds, double afr) {
        return {WidebandStatus::Reading, afr, std::llround(seconds * 1000)};
    }
    GateVerdict take(const GateFrame &f, const WidebandSample &w, bool counting = true) {
        return gate.take(f, w, settings, &locks, counting);
    }
    // Frames without a reading up to (not including) `until`, from `from`.
    void drive(double from, double until, int cell, double afrEcu = 14.7) {
        for (double t = from; t < until - 1e-9; t += kFramePeriod)
            take(frameAt(t, cell, afrEcu), {WidebandStatus::Quiet, 0, -1}, false);
    }
};

} // namespace

TEST_F(GateFixture, AReadingIsPairedWithTheFrameOneDelayBeforeIt) {
    drive(0, 1.0, 10, 14.7);   // cell 10, target 14.7
    drive(1.0, 1.1, 11, 13.0); // cell 11, target 13.0
    // Read right after the change of cell: the reading still shows cell 10's mixture.
    GateVerdict v = take(frameAt(1.10, 11, 13.0), readingAt(1.10, 13.26));
    EXPECT_EQ(v.refusal, SampleRefusal::Transition);
    EXPECT_FALSE(v.sample);
    // 1.15 s less 140 ms is 1.01 s: the frame of 1.00 s, in cell 11.
    v = take(frameAt(1.15, 11, 13.0), readingAt(1.15, 13.26));
    EXPECT_EQ(v.refusal, SampleRefusal::None);
    ASSERT_TRUE(v.sample);
    EXPECT_NEAR(*v.sample, 13.26 / 13.0, 1e-12) << "over the paired frame's target";
    // A delay longer than the ring keeps finds no frame: refused as a transition.
    settings.delay = DelayCurve({{0, 60000}});
    v = take(frameAt(1.20, 11, 13.0), readingAt(1.20, 13.0));
    EXPECT_EQ(v.refusal, SampleRefusal::Transition);
}

TEST_F(GateFixture, TheTargetAndTheEcusOwnTrimAreThePairedFramesNotTheCurrentOnes) {
    // The target changes inside the cell; the reading belongs to the older one.
    for (double t = 0; t < 0.9 - 1e-9; t += kFramePeriod) {
        GateFrame f = frameAt(t, 7, t < 0.84 ? 14.7 : 12.5);
        f.ecuTrim = t < 0.84 ? 1.02 : 0.97;
        take(f, {WidebandStatus::Quiet, 0, -1}, false);
    }
    GateFrame now = frameAt(0.9, 7, 12.5);
    now.ecuTrim = 0.97;
    const double afr = 14.7 * 0.98; // 2 % lean of the target it was fuelled for
    // 0.9 s less 140 ms: the frame of 0.75 s, target 14.7, trim 1.02.
    GateVerdict v = take(now, readingAt(0.9, afr));
    ASSERT_TRUE(v.sample);
    EXPECT_NEAR(*v.sample, 0.98 * 1.02, 1e-12) << "the table's own error: the trim's fuel taken back out";
    settings.ecuTrimOut = false;
    now.seconds = 0.95;
    v = take(now, readingAt(0.95, afr));
    ASSERT_TRUE(v.sample);
    EXPECT_NEAR(*v.sample, 0.98, 1e-12);
}

TEST_F(GateFixture, OneReadingIsJudgedOnceAndRefusalsCountPerCellWhileCounting) {
    drive(0, 1.0, 20);
    EXPECT_TRUE(take(frameAt(1.0, 20), readingAt(1.0, 14.7)).sample);
    // The controller is slower than the frames: the same reading again is no new sample.
    const GateVerdict again = take(frameAt(1.05, 20), readingAt(1.0, 14.7));
    EXPECT_FALSE(again.sample);
    EXPECT_EQ(again.refusal, SampleRefusal::None);

    GateFrame cold = frameAt(1.10, 20);
    cold.coolant = 50;
    EXPECT_EQ(take(cold, readingAt(1.10, 14.7)).refusal, SampleRefusal::ColdEngine);
    take(frameAt(1.15, 20), {WidebandStatus::Quiet, 0, -1});
    take(frameAt(1.20, 20), {WidebandStatus::Quiet, 0, -1});
    take(frameAt(1.25, 20), {WidebandStatus::Quiet, 0, -1}, false); // tuning off: not counted
    locks.setLocked(20, true);
    EXPECT_EQ(take(frameAt(1.30, 20), readingAt(1.30, 14.7)).refusal, SampleRefusal::Locked);
    EXPECT_EQ(take(frameAt(1.35, -1), {WidebandStatus::Quiet, 0, -1}).refusal, SampleRefusal::None)
        << "outside every cell nothing is judged";

    EXPECT_EQ(gate.counts().total(), 4);
    EXPECT_EQ(RefusalCounts::summary(gate.counts().ofCell(20)),
              "нет замера ШДК: 2, холодный двигатель: 1, ячейка заблокирована: 1");
    EXPECT_EQ(gate.currentCell(), -1);
    gate.clear();
    EXPECT_EQ(gate.counts().total(), 0);
}

TEST_F(GateFixture, FlagsHoldOffAndTheThrottleRateComeFromTheFrames) {
    struct Step {
        double at;
        bool fuelCut;
        double throttle;
        SampleRefusal expected;
    } steps[] = {
        {1.00, true, 20, SampleRefusal::FuelCut},
        {1.50, false, 20, SampleRefusal::FuelCut},      // 0.5 s after the last frame with the flag
        {3.00, false, 20, SampleRefusal::FuelCut},      // 2.0 s after: still held
        {3.10, false, 20, SampleRefusal::None},         // 2.1 s after
        {3.15, false, 21, SampleRefusal::None},         // one percent in 0.5 s: 2 %/s
        {3.20, false, 23, SampleRefusal::None},         // 3 % in 0.5 s: 6 %/s
        {3.25, false, 26, SampleRefusal::ThrottleRate}, // 6 % in 0.5 s: 12 %/s
    };
    double t = 0;
    for (const Step &s : steps) {
        for (; t < s.at - 1e-9; t += kFramePeriod) { // the frames in between, as the last step left them
            GateFrame f = frameAt(t, 30);
            f.throttle = 20;
            f.fuelCut = t > 0.9 && t < 1.0 + 1e-9;
            take(f, {WidebandStatus::Quiet, 0, -1}, false);
        }
        GateFrame f = frameAt(s.at, 30);
        f.fuelCut = s.fuelCut;
        f.throttle = s.throttle;
        EXPECT_EQ(take(f, readingAt(s.at, 14.7)).refusal, s.expected) << "at " << s.at << " s";
        t = s.at + kFramePeriod;
    }
}

TEST(FrameHistory, FindsTheNewestFrameAtOrBeforeATimeWithinWhatItKeeps) {
    FrameHistory h;
    EXPECT_FALSE(h.at(1.0)) << "empty";
    const auto n = static_cast<int>(FrameHistory::kCapacity) + 10;
    for (int i = 0; i < n; ++i)
        h.push({i * kFramePeriod, i, 14.7, 1, 0});
    EXPECT_EQ(h.size(), FrameHistory::kCapacity);
    struct Case {
        double at;
        int cell; // -1: none kept
    } cases[] = {{(n - 1) * kFramePeriod + 5, n - 1},
                 {(n - 1) * kFramePeriod, n - 1},
                 {100 * kFramePeriod + 0.01, 100},
                 {10 * kFramePeriod, 10},
                 {9.9 * kFramePeriod, -1},
                 {-1, -1}};
    for (const Case &c : cases) {
        const std::optional<FrameRecord> f = h.at(c.at);
        EXPECT_EQ(f ? f->cell : -1, c.cell) << "at " << c.at << " s";
    }
    EXPECT_EQ(h.from(100 * kFramePeriod + 0.01)->cell, 101);
    // A clock that jumps back starts the history again.
    h.push({1.0, 500, 14.7, 1, 0});
    EXPECT_EQ(h.size(), 1U);
    EXPECT_EQ(h.newest()->cell, 500);
}
