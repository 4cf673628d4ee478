#include "tuning/Accumulator.h"
#include "RecordingWrites.h"
#include "firmware/FirmwareStore.h"
#include "live/LiveParameters.h"
#include "tuning/CellLocks.h"
#include "tuning/CorrectionAuthority.h"
#include "tuning/CorrectionRules.h"
#include "tuning/PhaseTuning.h"
#include "tuning/TuningGrid.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

constexpr std::int64_t kCorrectionTable = 0x1000;

// Axes with breakpoints 100 rpm and 5 % apart; every correction byte 128.
struct AccumulatorFixture : ::testing::Test {
    GridAxes axes;
    TuningGrid grid;
    FirmwareStore store;
    test::RecordingWrites writes;
    Accumulator acc{grid, axes, store};
    TuningSettings settings;
    LiveParameters live;
    static constexpr std::int64_t kPhaseTable = 0x3000;

    // An air axis of 100, 200, ... and phase tuning of the intake valve's opening.
    void tunePhases() {
        for (int k = 0; k < GridAxes::kAirPoints; ++k)
            axes.air[static_cast<std::size_t>(k)] = 100 * (k + 1);
        acc.setTables({kCorrectionTable, kPhaseTable});
        settings.intakeClose = 40;
        settings.intakeOpen = 20;
        settings.phaseOpenValve = true;
    }

    AccumulatorFixture() {
        std::array<int, GridAxes::kPoints> rpm{}, throttle{};
        for (int i = 0; i < 16; ++i) {
            rpm[static_cast<std::size_t>(i)] = 1000 + i * 100;
            throttle[static_cast<std::size_t>(i)] = i * 5;
        }
        axes.rpm = rpm;
        axes.throttle = throttle;
        axes.rpmBounds = cellBoundaries(rpm, -1, 10201);
        axes.throttleBounds = cellBoundaries(throttle, -1, 101);
        FirmwareImage image;
        image.setBytes(kCorrectionTable, QByteArray(256, char(128)));
        store.loadImage(image);
        for (TuningCell &c : grid.cells)
            c.corrCurrent = c.learned = c.corrThr = 1.0f;

        settings.stationaryCycles = 3;
        settings.cyclesPerEvaluation = 5;
        settings.weight = 100;
        acc.setTables({kCorrectionTable, -1});
        acc.setWrites(&writes);
        acc.startConnection(2);
        acc.start(false, false);
        at(1300, 20); // column 3, row 4
        mixture(1.1);
    }

    void at(double rpm, double throttle) {
        live.rpm = rpm;
        live.throttle = throttle;
        live.loadValue = throttle;
    }
    void mixture(double ratio) {
        live.afrEcu = 14.7;
        live.afrWideband = 14.7 * ratio;
    }
    void ticks(int n, bool linkUp = true) {
        for (int i = 0; i < n; ++i)
            acc.tickFast({live, settings, linkUp});
    }
    void standardTicks(int n) {
        for (int i = 0; i < n; ++i)
            acc.tickStandard({live, settings, false});
    }
    TuningCell &cell() { return grid.at(4, 3); }
    int imageByte(int index) const { return store.image().byteAt(kCorrectionTable + index).value_or(-1); }
};

} // namespace

TEST(CorrectionRules, DeadBandStepsWeightsAndFixedLimits) {
    struct Case {
        double current, mean, weight, expected;
    } cases[] = {
        {1.0, 0.995, 70, 1.0},   {1.0, 1.005, 70, 1.0},   {1.0, 0.993, 70, 1.0},  {1.0, 1.007, 70, 1.0},
        {1.0, 0.985, 70, 0.991}, {1.0, 1.015, 70, 1.009}, {1.0, 0.98, 70, 0.991}, {1.0, 1.02, 70, 1.009},
        {1.0, 1.1, 50, 1.05},    {1.2, 0.9, 50, 1.14},    {1.94, 1.2, 100, 1.95}, {0.06, 0.5, 100, 0.05},
        {1.95, 1.01, 70, 1.95},  {0.05, 0.99, 70, 0.05},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(steppedCorrection(c.current, deadBand(c.mean), c.weight), c.expected, 1e-12)
            << c.current << " x " << c.mean << " at " << c.weight << " %";
    EXPECT_EQ(correctionByte(1.009), 129);
    EXPECT_EQ(gbcByte(100.0), 38) << "37.5 halves to even";
}

TEST_F(AccumulatorFixture, FirstEvaluationOnTheTenthSteadyTickThenEightTicksSkipped) {
    ticks(9);
    EXPECT_EQ(cell().applied, 0);
    EXPECT_EQ(cell().sampleCount, 5) << "ticks 5 to 9 stored samples";
    EXPECT_EQ(acc.statCount(), 8);
    EXPECT_TRUE(writes.writes.isEmpty());

    ticks(1);
    EXPECT_EQ(cell().applied, 1);
    EXPECT_EQ(cell().sampleCount, 0);
    EXPECT_NEAR(cell().meanCoef, 1.1, 1e-6);
    EXPECT_NEAR(cell().corrCurrent, 1.1, 1e-6) << "weight 100 %";
    EXPECT_NEAR(cell().corrThr, 1.1, 1e-6);
    EXPECT_EQ(imageByte(4 * 16 + 3), 141) << "Round(1.1 * 128)";
    ASSERT_EQ(writes.writes.size(), 1);
    EXPECT_EQ(writes.writes[0].command, "remake");
    EXPECT_EQ(writes.writes[0].address, kCorrectionTable + 4 * 16 + 3);
    EXPECT_EQ(writes.writes[0].bytes, QByteArray(1, char(141)));
    EXPECT_EQ(writes.writes[0].marker, 0xFD00 + 4 * 16 + 3);
    EXPECT_EQ(acc.cornerText(), "ОК1");
    EXPECT_EQ(acc.counters().evaluations, 1);
    EXPECT_EQ(acc.counters().samplesStored, 6);
    const TuningTrace &trace = acc.trace();
    EXPECT_EQ(trace.wroteCorrection, 1);
    EXPECT_DOUBLE_EQ(trace.oldCorrection, 1.0);
    EXPECT_NEAR(trace.newCorrection, 1.1, 1e-6);

    ticks(8);
    EXPECT_EQ(cell().sampleCount, 0) << "eight steady ticks store nothing after an evaluation";
    ticks(1);
    EXPECT_EQ(cell().sampleCount, 1);
}

TEST_F(AccumulatorFixture, WithTheLinkDownOrTheWorkerBusy) {
    // Link down: the cell is counted and reset, nothing else changes.
    ticks(10, false);
    EXPECT_EQ(cell().applied, 1);
    EXPECT_EQ(cell().sampleCount, 0);
    EXPECT_FLOAT_EQ(cell().corrCurrent, 1.0f);
    EXPECT_EQ(imageByte(4 * 16 + 3), 128);
    EXPECT_TRUE(writes.writes.isEmpty());
    EXPECT_EQ(acc.counters().evaluations, 0);

    // A busy worker gets nothing; the image keeps the new value.
    writes.isBusy = true;
    ticks(8 + 7);
    EXPECT_EQ(cell().applied, 2);
    EXPECT_EQ(imageByte(4 * 16 + 3), 141);
    EXPECT_TRUE(writes.writes.isEmpty());
}

TEST_F(AccumulatorFixture, LeavingACellAndComingBackKeepsItsSamples) {
    ticks(6); // samples 1 and 2
    ASSERT_EQ(cell().sampleCount, 2);
    at(1500, 20);
    ticks(3);
    EXPECT_EQ(grid.at(4, 5).sampleCount, 0);
    at(1300, 20);
    ticks(5); // registers, counts up to 3, then sample 3
    EXPECT_EQ(cell().sampleCount, 3);
    EXPECT_EQ(cell().applied, 0);
}

TEST_F(AccumulatorFixture, WhichCellTheEngineIsInAndWhetherItMayBeTuned) {
    struct Case {
        double rpm, throttle, stationaryRpm;
        int col;        // window hit in row 4 (-1 none)
        bool evaluated; // ten ticks there evaluate the cell
    } cases[] = {
        {1300, 1, 100, 3, false},  // below "Не настраивать ниже %" (row 0): counted, not tuned
        {1350, 20, 100, 3, true},  // on the upper boundary of column 3: column 3
        {1250, 20, 100, 2, true},  // on its lower boundary: column 2
        {1340, 20, 50, -1, false}, // outside the central half of column 3
        {1300, 20, 0, -1, false},  // stationarity 0 accepts nothing
    };
    for (const Case &c : cases) {
        TuningGrid fresh;
        Accumulator a(fresh, axes, store);
        a.startConnection(2);
        a.start(false, false);
        settings.stationaryRpm = c.stationaryRpm;
        at(c.rpm, c.throttle);
        for (int i = 0; i < 10; ++i)
            a.tickFast({live, settings, false});
        EXPECT_EQ(a.counters().windowHits, c.col < 0 ? 0 : 10) << c.rpm;
        int applied = 0;
        for (const TuningCell &cell : fresh.cells)
            applied += cell.applied;
        EXPECT_EQ(applied, c.evaluated ? 1 : 0) << c.rpm;
        if (c.evaluated) {
            EXPECT_EQ(fresh.at(4, c.col).applied, 1) << c.rpm;
        }
    }
}

// A tick without a measured mixture is no sample: a silent or warming wideband
// (0) or an ECU without its ratio must not drag the correction to the floor.
TEST_F(AccumulatorFixture, TicksWithoutAMixtureReadingAreNoSamples) {
    const struct {
        const char *what;
        double afrEcu, afrWideband;
    } cases[] = {{"no ECU ratio", 0, 16.2}, {"no wideband reading", 14.7, 0}, {"neither", 0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        cell() = TuningCell{};
        cell().corrCurrent = 1.0f;
        cell().setSample(2, 0.8f);
        cell().sampleCount = 2;
        at(2000, 40); // another cell first, so that this one starts afresh
        ticks(1);
        at(1300, 20);
        live.afrEcu = c.afrEcu;
        live.afrWideband = c.afrWideband;
        ticks(20);
        EXPECT_EQ(cell().sampleCount, 2);
        EXPECT_FLOAT_EQ(cell().sample(2), 0.8f);
        EXPECT_EQ(cell().applied, 0) << "nothing to evaluate";
        EXPECT_FLOAT_EQ(cell().corrCurrent, 1.0f);
    }
    live.narrowband = true;
    live.injCorrection = 1.04;
    ticks(4);
    EXPECT_FLOAT_EQ(cell().sample(3), 1.04f) << "the narrowband sample is the ECU's own coefficient";
}

TEST_F(AccumulatorFixture, NeighbourLearning) {
    settings.neighbourFactor = 50;
    grid.at(4, 2).meanCoef = 1.02f; // within 5 %: left alone
    grid.at(4, 4).meanCoef = 0.9f;
    grid.at(4, 4).corrCurrent = 1.2f;
    grid.at(5, 3).corrCurrent = 0.8f; // never evaluated (3.0): learned
    acc.start(false, true);
    ticks(10);
    EXPECT_NEAR(cell().learned, 1.1, 1e-6);
    EXPECT_FLOAT_EQ(grid.at(4, 2).learned, 1.0f);
    EXPECT_NEAR(grid.at(4, 4).learned, 1.05 * 1.2, 1e-6);
    EXPECT_NEAR(grid.at(3, 3).learned, 1.05, 1e-6);
    EXPECT_NEAR(grid.at(5, 3).learned, 1.05 * 0.8, 1e-6);
    EXPECT_FLOAT_EQ(grid.at(3, 2).learned, 1.0f) << "diagonals are no neighbours";
}

// Without neighbour learning no other cell learns; the cell's own learned
// value still follows its correction, so that learning switched on later
// takes nothing back.
TEST_F(AccumulatorFixture, NeighbourCoefficientZeroLearnsNothing) {
    settings.neighbourFactor = 0;
    acc.start(false, settings.neighbourFactor > 0);
    ticks(10);
    EXPECT_NEAR(cell().corrCurrent, 1.1, 1e-6);
    EXPECT_FLOAT_EQ(cell().learned, cell().corrCurrent);
    for (const TuningCell &c : grid.cells) {
        if (&c != &cell()) {
            EXPECT_FLOAT_EQ(c.learned, 1.0f);
        }
    }
}

// A neighbour's learned value obeys "Минимальная поправка" and "Максимальная
// поправка" like every correction the settings limit.
TEST_F(AccumulatorFixture, NeighbourLearningStaysWithinTheSettingLimits) {
    struct Case {
        double ratio, neighbour, corrMin, corrMax, expected;
    } cases[] = {
        {1.5, 1.25, 0.7, 1.3, 1.3},   // 1.875 learned, at most 1.3
        {0.5, 0.9, 0.7, 1.3, 0.7},    // 0.45 learned, at least 0.7
        {1.5, 0.8, 0.7, 1.3, 1.2},    // within the limits
        {1.5, 1.9, 0.05, 1.99, 1.95}, // the fixed limit still holds
    };
    for (const Case &c : cases) {
        TuningGrid fresh;
        for (TuningCell &t : fresh.cells)
            t.corrCurrent = t.learned = 1.0f;
        fresh.at(4, 4).corrCurrent = fresh.at(4, 4).learned = static_cast<float>(c.neighbour);
        Accumulator a(fresh, axes, store);
        a.setTables({kCorrectionTable, -1});
        a.startConnection(2);
        a.start(false, true);
        settings.neighbourFactor = 100;
        settings.corrMin = c.corrMin;
        settings.corrMax = c.corrMax;
        mixture(c.ratio);
        for (int i = 0; i < 10; ++i)
            a.tickFast({live, settings, true});
        EXPECT_NEAR(fresh.at(4, 4).learned, c.expected, 1e-6) << c.ratio << " on " << c.neighbour;
    }
}

TEST_F(AccumulatorFixture, StoppingKeepsTheSamples) {
    ticks(7);
    const int stored = cell().sampleCount;
    acc.stop();
    ticks(20);
    EXPECT_EQ(cell().sampleCount, stored);
    acc.start(false, false);
    ticks(1);
    EXPECT_EQ(cell().sampleCount, stored + 1) << "back in the same cell the samples continue";
}

TEST_F(AccumulatorFixture, AnUndoOfTheImageKeepsThePerCellLearning) {
    store.PushUndo();
    ticks(10);
    ASSERT_EQ(imageByte(4 * 16 + 3), 141);
    ASSERT_TRUE(store.UndoStep());
    EXPECT_EQ(imageByte(4 * 16 + 3), 128);
    EXPECT_EQ(cell().applied, 1);
    EXPECT_NEAR(cell().corrCurrent, 1.1, 1e-6);
    ticks(8 + 6);
    EXPECT_EQ(cell().applied, 2);
    EXPECT_NEAR(cell().corrCurrent, 1.21, 1e-6) << "the next evaluation builds on the learned value";
}

// The standard protocol smooths each cell's mean with that cell's previous
// evaluation, from its own first one on: a cell already right stays right,
// and no other cell's mean leaks in.
TEST_F(AccumulatorFixture, StandardProtocolAveragesWithTheCellsPreviousEvaluation) {
    settings.weight = 70; // tuning is on: the image takes the new values
    struct Step {
        double rpm, ratio;
        int ticks;
        int cellCol;
        float meanCoef;
        int imageByte; // of that cell
    } steps[] = {
        {1300, 1.1, 10, 3, 1.1f, 136}, // first evaluation on its own mean: Round(1.07 * 127)
        {1300, 1.1, 1, 3, 1.1f, 136},  // (1.1 + 1.1) / 2
        {1500, 1.0, 10, 5, 1.0f, 127}, // another cell, already right: stays 127
        {1500, 1.0, 1, 5, 1.0f, 127},
    };
    for (TuningCell &c : grid.cells)
        c.corrThr = 127 / 128.0f;
    store.storeBytes(kCorrectionTable, QByteArray(256, char(127)));
    for (const Step &s : steps) {
        at(s.rpm, 20);
        mixture(s.ratio);
        standardTicks(s.ticks);
        EXPECT_NEAR(grid.at(4, s.cellCol).meanCoef, s.meanCoef, 1e-6) << s.rpm;
        EXPECT_EQ(imageByte(4 * 16 + s.cellCol), s.imageByte) << s.rpm;
    }
    EXPECT_EQ(grid.at(4, 3).sampleCount, 7) << "nothing is reset";
    EXPECT_EQ(grid.at(4, 3).applied, 0);
    EXPECT_TRUE(writes.writes.isEmpty());

    // A mean that moves is smoothed with the cell's last one.
    at(1300, 20);
    mixture(1.3);
    standardTicks(5); // back in the cell: registered, steady, then the eighth sample
    const double mean = (1.1 * 7 + 1.3) / 8;
    EXPECT_NEAR(grid.at(4, 3).meanCoef, (mean + 1.1) / 2, 1e-6);
    EXPECT_NEAR(grid.at(4, 3).newCorr, (((mean + 1.1) / 2 - 1) * 0.7 + 1) * 127 / 128, 1e-5)
        << "built on the firmware's value";
}

// The standard protocol evaluates whenever the engine runs, but the image (the
// file the periodic save writes and the table rewrite sends) takes its
// corrections and phases only while tuning is on.
TEST_F(AccumulatorFixture, StandardProtocolWritesTheImageOnlyWhileTuning) {
    tunePhases();
    live.injPulse = 4;
    live.cyclicAir = 250; // air row 2
    const struct {
        const char *when;
        bool tuning; // on while the ticks run
        bool startedBefore;
        bool imageChanges;
    } cases[] = {
        {"before tuning ever started", false, false, false},
        {"while tuning", true, true, true},
        {"after tuning stopped", false, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.when);
        Accumulator a{grid, axes, store};
        a.setTables({kCorrectionTable, kPhaseTable});
        a.startConnection(2);
        if (c.startedBefore)
            a.start(false, false);
        if (!c.tuning)
            a.stop();
        for (TuningCell &cell : grid.cells)
            cell = TuningCell{};
        for (TuningCell &cell : grid.cells)
            cell.corrCurrent = cell.learned = cell.corrThr = 1.0f;
        const FirmwareImage before = store.image();
        for (int i = 0; i < 12; ++i) {
            a.tickStandard({live, settings, true});
            a.tickPhase(live, settings, true);
        }
        EXPECT_NEAR(cell().newCorr, 1.1, 1e-6) << "evaluated either way";
        EXPECT_GT(grid.at(2, 3).phase, 0) << "phase followed either way";
        EXPECT_EQ(store.image() == before, !c.imageChanges);
        EXPECT_EQ(a.counters().evaluations > 0, c.imageChanges);
        EXPECT_TRUE(writes.writes.isEmpty()) << "the standard protocol sends nothing itself";
    }
}

TEST_F(AccumulatorFixture, StandardProtocolEvaluatesOverTheMostRecentSamples) {
    acc.stop();
    standardTicks(4 + kStandardSampleWindow);
    ASSERT_EQ(cell().sampleCount, kStandardSampleWindow);
    mixture(0.5);
    standardTicks(kStandardSampleWindow);
    EXPECT_EQ(cell().sampleCount, kStandardSampleWindow);
    EXPECT_LE(cell().samples.size(), static_cast<std::size_t>(kStandardSampleWindow));
    EXPECT_FLOAT_EQ(cell().sample(1), 0.5f) << "the old samples are gone";
    EXPECT_FLOAT_EQ(cell().airSample(16), 0.0f);
}

TEST_F(AccumulatorFixture, KnockAndInjectorLoadByThrottleAndByPressure) {
    axes.pressure = axes.throttle;
    axes.pressureBounds = cellBoundaries(axes.pressure, 0, 2 * 70 - 65);
    live.pressure = 40; // pressure row 8
    live.injPulse = 6;
    live.flags[kKnockFlag - 1] = 1;
    acc.stop();
    acc.tickStatistics(live, settings);
    live.flags[kKnockFlag - 1] = 0;
    live.injPulse = 3;
    acc.tickStatistics(live, settings);
    EXPECT_DOUBLE_EQ(cell().knockThr, 1);
    EXPECT_DOUBLE_EQ(cell().injLoadThr, (6.5 + 3.25) / 2) << "1300 * 6 / 1200, then smoothed";
    EXPECT_DOUBLE_EQ(grid.at(8, 3).knockKpa, 1);
    EXPECT_DOUBLE_EQ(grid.at(8, 3).injLoadKpa, (6.5 + 3.25) / 2);
    EXPECT_DOUBLE_EQ(grid.at(4, 3).knockKpa, 0);
}

TEST_F(AccumulatorFixture, PhaseOfTheCellTheEngineRunsIn) {
    tunePhases();
    live.rpm = 3000;   // column 15
    live.injPulse = 4; // target 442
    live.cyclicAir = 250;
    TuningCell &c = grid.at(2, 15);

    acc.tickPhase(live, settings, false);
    EXPECT_FLOAT_EQ(c.phase, 442);
    c.phase = 450;
    acc.tickPhase(live, settings, false);
    EXPECT_FLOAT_EQ(c.phase, 446) << "averaged with the previous value";
    EXPECT_EQ(store.image().byteAt(kPhaseTable + 2 * 16 + 15), 0) << "the fast protocol writes it with its timer";
    for (int i = 0; i < 19; ++i)
        acc.tickPhase(live, settings, true);
    EXPECT_EQ(c.phaseCount, 8) << "21 updates fall back to 8";
    EXPECT_EQ(store.image().byteAt(kPhaseTable + 2 * 16 + 15), phaseByte(c.phase));
}

TEST_F(AccumulatorFixture, NoTableChosenYetWritesNothingIntoTheImage) {
    acc.setTables({});
    const FirmwareImage before = store.image();
    acc.stop();
    standardTicks(12); // the standard protocol collects before any set-up
    acc.start(false, false);
    at(1500, 20);
    ticks(10);
    EXPECT_EQ(cell().applied, 0);
    EXPECT_EQ(grid.at(4, 5).applied, 1);
    EXPECT_TRUE(store.image() == before);
    EXPECT_TRUE(writes.writes.isEmpty());
}

// A locked cell collects nothing and keeps its correction and filling; its
// neighbours' learning passes it by.
TEST_F(AccumulatorFixture, ALockedCellNeverChangesAndNeighbourLearningPassesItBy) {
    CellLocks locks;
    acc.setLocks(&locks);
    locks.setLocked(4 * 16 + 3, true);
    const float filling = cell().gbcNew;
    ticks(20);
    EXPECT_EQ(cell().sampleCount, 0);
    EXPECT_EQ(cell().applied, 0);
    EXPECT_FLOAT_EQ(cell().corrCurrent, 1.0f);
    EXPECT_FLOAT_EQ(cell().gbcNew, filling);
    EXPECT_EQ(imageByte(4 * 16 + 3), 128);
    EXPECT_TRUE(writes.writes.isEmpty());

    // Its neighbour (4, 4) is tuned with neighbour learning: (4, 3) stays, (4, 5) learns.
    locks.setLocked(4 * 16 + 3, true);
    settings.neighbourFactor = 50;
    acc.start(false, true);
    at(1400, 20);
    ticks(10);
    EXPECT_NEAR(grid.at(4, 4).corrCurrent, 1.1, 1e-6);
    EXPECT_FLOAT_EQ(cell().learned, 1.0f) << "locked";
    EXPECT_NEAR(grid.at(4, 5).learned, 1.05, 1e-6);
    locks.setLocked(4 * 16 + 3, false);
    at(1300, 20);
    ticks(10);
    EXPECT_NEAR(cell().corrCurrent, 1.1, 1e-6) << "unlocked, it is tuned again";
}

// With the extended tuning the gate's sample replaces the frame's ratio, a
// tick it refused stores nothing, and every change keeps to the authority.
TEST_F(AccumulatorFixture, TheExtendedTuningsSampleAndAuthority) {
    CorrectionAuthority authority;
    authority.start(grid, {0.05, 0.25, 0.5, 1.5});
    acc.setAuthority(&authority);
    mixture(1.0); // what the frame says: no error
    auto extendedTicks = [&](int n, std::optional<double> sample) {
        for (int i = 0; i < n; ++i) {
            AccumulationInput in{live, settings, true};
            in.checked = true;
            in.checkedSample = sample;
            acc.tickFast(in);
        }
    };
    extendedTicks(20, std::nullopt);
    EXPECT_EQ(cell().sampleCount, 0) << "every tick refused";
    extendedTicks(6, 1.2); // 20 % lean by the paired frame, weight 100 %
    EXPECT_EQ(cell().applied, 1);
    EXPECT_NEAR(cell().corrCurrent, 1.05, 1e-6) << "one step of 5 points";
    EXPECT_EQ(imageByte(4 * 16 + 3), 134);
    extendedTicks(5 * (8 + 6), 1.2); // five more evaluations, each after 8 skipped ticks and 6 samples
    EXPECT_NEAR(cell().corrCurrent, 1.25, 1e-6) << "no further than 25 points from the start";
}
