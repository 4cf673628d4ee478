#include "tuning/SampleFilters.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korvel;

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

// A warm engine cruising steadily with a fresh reading: every filter passes.
FilterFacts cruising() {
    FilterFacts f;
    f.wideband = WidebandStatus::Reading;
    f.coolant = 90;
    f.rpm = 2500;
    f.throttle = 20;
    f.sinceFuelCutMs = kNever;
    f.sinceEnrichmentMs = kNever;
    f.throttleRate = 0;
    return f;
}

FilterLimits shippedLimits() {
    FilterLimits l;
    l.minRpm = 700;
    l.minLoad = 2;
    l.centreZone = 0.5;
    return l;
}

} // namespace

TEST(SampleFilters, EachFilterRefusesWithItsOwnReasonAtItsBoundary) {
    struct Case {
        const char *what;
        void (*change)(FilterFacts &);
        SampleRefusal expected;
    } cases[] = {
        {"cruising", [](FilterFacts &) {}, SampleRefusal::None},
        {"warming up", [](FilterFacts &f) { f.wideband = WidebandStatus::WarmUp; }, SampleRefusal::WidebandWarmUp},
        {"sensor fault", [](FilterFacts &f) { f.wideband = WidebandStatus::Error; }, SampleRefusal::WidebandError},
        {"railed", [](FilterFacts &f) { f.wideband = WidebandStatus::OutOfRange; }, SampleRefusal::WidebandOutOfRange},
        {"quiet", [](FilterFacts &f) { f.wideband = WidebandStatus::Quiet; }, SampleRefusal::WidebandQuiet},
        {"coolant 69.9", [](FilterFacts &f) { f.coolant = 69.9; }, SampleRefusal::ColdEngine},
        {"coolant 70", [](FilterFacts &f) { f.coolant = 70; }, SampleRefusal::None},
        {"fuel cut now", [](FilterFacts &f) { f.sinceFuelCutMs = 0; }, SampleRefusal::FuelCut},
        {"2 s after fuel cut", [](FilterFacts &f) { f.sinceFuelCutMs = 2000; }, SampleRefusal::FuelCut},
        {"2.05 s after fuel cut", [](FilterFacts &f) { f.sinceFuelCutMs = 2050; }, SampleRefusal::None},
        {"enrichment now", [](FilterFacts &f) { f.sinceEnrichmentMs = 0; }, SampleRefusal::PowerEnrichment},
        {"1.9 s after enrichment", [](FilterFacts &f) { f.sinceEnrichmentMs = 1900; }, SampleRefusal::PowerEnrichment},
        {"throttle +10 %/s", [](FilterFacts &f) { f.throttleRate = 10; }, SampleRefusal::None},
        {"throttle +10.5 %/s", [](FilterFacts &f) { f.throttleRate = 10.5; }, SampleRefusal::ThrottleRate},
        {"throttle -12 %/s", [](FilterFacts &f) { f.throttleRate = -12; }, SampleRefusal::ThrottleRate},
        {"699 rpm", [](FilterFacts &f) { f.rpm = 699; }, SampleRefusal::RpmLimit},
        {"6501 rpm", [](FilterFacts &f) { f.rpm = 6501; }, SampleRefusal::RpmLimit},
        {"6500 rpm", [](FilterFacts &f) { f.rpm = 6500; }, SampleRefusal::None},
        {"throttle 1 %", [](FilterFacts &f) { f.throttle = 1; }, SampleRefusal::LoadLimit},
        {"throttle 100 %", [](FilterFacts &f) { f.throttle = 100; }, SampleRefusal::None},
        {"halfway to the cell's edge", [](FilterFacts &f) { f.edge = 0.5; }, SampleRefusal::None},
        {"beyond the middle half", [](FilterFacts &f) { f.edge = 0.6; }, SampleRefusal::CellEdge},
        // The first reason in order names the tick: a cold engine in fuel cut is cold.
        {"cold and in fuel cut",
         [](FilterFacts &f) {
             f.coolant = 20;
             f.sinceFuelCutMs = 0;
         },
         SampleRefusal::ColdEngine},
        {"quiet and cold",
         [](FilterFacts &f) {
             f.wideband = WidebandStatus::Quiet;
             f.coolant = 20;
         },
         SampleRefusal::WidebandQuiet},
    };
    for (const Case &c : cases) {
        FilterFacts f = cruising();
        c.change(f);
        EXPECT_EQ(refusalOf(f, shippedLimits()), c.expected) << c.what;
    }
}

TEST(SampleFilters, AFilterSetOffLetsItsTicksThrough) {
    FilterLimits l = shippedLimits();
    l.widebandState = false;
    l.maxThrottleRate = 0;
    l.fuelCutHoldMs = 0;
    FilterFacts f = cruising();
    f.wideband = WidebandStatus::Quiet;
    f.throttleRate = 80;
    f.sinceFuelCutMs = 50; // ended 50 ms ago: no hold-off left
    EXPECT_EQ(refusalOf(f, l), SampleRefusal::None);
    f.sinceFuelCutMs = 0; // a hold-off of 0 still refuses while the flag is set
    EXPECT_EQ(refusalOf(f, l), SampleRefusal::FuelCut);
}

TEST(SampleFilters, TheHoldOffCountsFromTheLastFrameWithTheFlag) {
    FlagHoldOff hold;
    EXPECT_EQ(hold.sinceMs(5), kNever) << "never seen set";
    hold.see(true, 10.0);
    hold.see(true, 10.5);
    hold.see(false, 10.55);
    EXPECT_DOUBLE_EQ(hold.sinceMs(10.5), 0);
    EXPECT_NEAR(hold.sinceMs(12.0), 1500, 1e-9);
    hold.clear();
    EXPECT_EQ(hold.sinceMs(12.0), kNever);
}

TEST(SampleRefusal, CountsPerCellAndOverallWithTheirNames) {
    RefusalCounts counts;
    counts.count(SampleRefusal::Transition, 17);
    counts.count(SampleRefusal::Transition, 17);
    counts.count(SampleRefusal::FuelCut, 17);
    counts.count(SampleRefusal::FuelCut, 18);
    counts.count(SampleRefusal::ColdEngine, -1); // outside every cell: overall only
    counts.count(SampleRefusal::None, 17);       // not a refusal
    EXPECT_EQ(counts.total(), 5);
    EXPECT_EQ(RefusalCounts::totalOf(counts.ofCell(17)), 3);
    EXPECT_EQ(RefusalCounts::summary(counts.ofCell(17)), "переход: 2, отсечка топлива: 1");
    EXPECT_EQ(RefusalCounts::summary(counts.ofCell(3)), "нет");
    EXPECT_EQ(RefusalCounts::totalOf(counts.ofCell(256)), 0);
    EXPECT_EQ(counts.overall()[static_cast<std::size_t>(SampleRefusal::ColdEngine)], 1);
    counts.clear();
    EXPECT_EQ(counts.total(), 0);
}
