#include "live/AccelerationRuns.h"
#include "live/AccelerationTest.h"
#include "live/LiveParameters.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// Two channels; the test is armed with start 0 and end 100 unless a case says otherwise.
// Each frame advances the processed-frame counter by one and the clock by 50 ms.
struct Bench {
    AccelerationRuns runs;
    AccelerationTest test{runs};
    LiveChannels channels;
    qint64 counter = 0;
    qint64 clockMs = 100000;

    Bench() {
        runs.setChannels({QStringLiteral("Обороты"), QStringLiteral("Дроссель")});
        test.startConnection();
    }
    AccelerationOutcome frame(double speed, float value1 = 0, float value2 = 0,
                              const QString &start = QStringLiteral("0"), const QString &end = QStringLiteral("100")) {
        channels.set(1, value1);
        channels.set(2, value2);
        return test.step({speed, start, end, ++counter, clockMs += 50, &channels});
    }
};

} // namespace

TEST(AccelerationTest, StartsOnlyAboveTheStartSpeed) {
    Bench b;
    b.test.toggleArmed();
    EXPECT_FALSE(b.frame(0).started) << "a standing vehicle is not above 0";
    EXPECT_FALSE(b.test.running());
    const AccelerationOutcome out = b.frame(0.5);
    EXPECT_TRUE(out.started);
    EXPECT_TRUE(b.test.running());
    EXPECT_FALSE(b.frame(3).started) << "started once";
}

TEST(AccelerationTest, ThreeRunsAreListedAndTimed) {
    Bench b;
    for (int run = 1; run <= 3; ++run) {
        b.test.toggleArmed();
        b.frame(10);
        b.clockMs += 2000 * run - 50; // the next frame comes 2 s (4 s, 6 s) after the first
        const AccelerationOutcome out = b.frame(100.5);
        EXPECT_TRUE(out.finished) << "run " << run;
        EXPECT_EQ(out.result, QStringLiteral("Время разгона:") + QString::number(2 * run)) << "run " << run;
        EXPECT_FALSE(b.test.armed());
        EXPECT_EQ(b.test.elapsedMs(), 0);
    }
    EXPECT_EQ(b.test.finishedRuns(),
              (QStringList{QStringLiteral("Разгон = 1"), QStringLiteral("Разгон = 2"), QStringLiteral("Разгон = 3")}));
    b.test.startConnection();
    EXPECT_TRUE(b.test.finishedRuns().isEmpty()) << "runs are counted from the connect";
}

// Every processed frame of a run is recorded; the mean is over all of them,
// the first included, as the minimum and the maximum are.
TEST(AccelerationTest, RecordsMinimumMeanAndMaximum) {
    Bench b;
    b.test.toggleArmed();
    EXPECT_EQ(b.runs.cell(1, 0), QString()) << "arming empties the headers";
    b.frame(5, 4.f, 1.23456f); // first frame: min, mean, max := value
    EXPECT_EQ(b.runs.cell(3, 0), "0") << "header: seconds since the first frame";
    EXPECT_EQ(b.runs.cell(2, 2), "1.235");
    EXPECT_EQ(b.runs.columns(), 5);

    struct Step {
        float value;
        QString min, mean, max;
    };
    const Step steps[] = {
        {8.f, "4", "6", "8"},      // (4 + 8) / 2
        {3.f, "3", "5", "8"},      // (4 + 8 + 3) / 3
        {10.f, "3", "6.25", "10"}, // (4 + 8 + 3 + 10) / 4
        {1.f, "1", "5.2", "10"},   // (4 + 8 + 3 + 10 + 1) / 5
    };
    int column = 4;
    for (const Step &s : steps) {
        b.frame(20, s.value);
        EXPECT_EQ(b.runs.cell(column, 1), QString::number(s.value)) << column;
        EXPECT_EQ((QStringList{b.runs.cell(1, 1), b.runs.cell(2, 1), b.runs.cell(3, 1)}),
                  (QStringList{s.min, s.mean, s.max}))
            << "column " << column;
        ++column;
        EXPECT_EQ(b.runs.columns(), column + 1) << "one column more per recorded frame";
    }
    EXPECT_EQ(b.runs.cell(4, 0), "0.05") << "header: seconds since the first frame";
    EXPECT_EQ(b.runs.cell(7, 0), "0.2");
    // A step without a new processed frame records nothing.
    const int columns = b.runs.columns();
    b.test.step({20, "0", "100", b.counter, b.clockMs + 10, &b.channels});
    EXPECT_EQ(b.runs.columns(), columns);
}

TEST(AccelerationTest, DisarmAndLimit) {
    {
        Bench b;
        b.test.toggleArmed();
        b.frame(10);
        b.test.toggleArmed(); // second press during the run
        EXPECT_FALSE(b.test.armed());
        EXPECT_FALSE(b.test.running());
        const AccelerationOutcome out = b.frame(150);
        EXPECT_FALSE(out.finished) << "no result after a disarm";
        EXPECT_TRUE(b.test.finishedRuns().isEmpty());
        EXPECT_EQ(b.runs.columns(), 5);
    }
    {
        Bench b;
        b.test.toggleArmed();
        b.counter = 99;
        b.frame(10); // the first frame, counter 100
        b.counter = 99 + AccelerationTest::kFrameLimit;
        EXPECT_FALSE(b.frame(20).abandoned) << "exactly the limit still counts";
        const AccelerationOutcome out = b.frame(20);
        EXPECT_TRUE(out.abandoned);
        EXPECT_FALSE(out.finished);
        EXPECT_FALSE(b.test.armed());
        EXPECT_TRUE(b.test.finishedRuns().isEmpty());
    }
    {
        Bench b;
        b.counter = 30000; // the counter ran long before the test was armed
        b.test.toggleArmed();
        EXPECT_TRUE(b.frame(10).started);
        EXPECT_TRUE(b.test.armed()) << "the limit counts from the run's first frame";
    }
}

TEST(AccelerationTest, SpeedLimitsThatAreNotNumbersStopTheTest) {
    struct Case {
        const char *name;
        double speed; // before the frame with the bad text
        QString start, end;
        QString reported;
    };
    const Case cases[] = {
        {"start speed", 0, "abc", "100", "abc"},
        {"empty start speed", 0, "", "100", ""},
        {"end speed", 50, "0", "1OO", "1OO"},
    };
    for (const Case &c : cases) {
        Bench b;
        b.test.toggleArmed();
        if (c.speed > 0)
            b.frame(c.speed);
        const AccelerationOutcome out = b.frame(60, 0, 0, c.start, c.end);
        ASSERT_TRUE(out.invalidLimit.has_value()) << c.name;
        EXPECT_EQ(*out.invalidLimit, c.reported) << c.name;
        EXPECT_FALSE(b.test.armed()) << c.name;
        EXPECT_FALSE(b.frame(70, 0, 0, c.start, c.end).invalidLimit.has_value())
            << c.name << ": reported once, not on every frame";
    }
    Bench b;
    b.test.toggleArmed();
    EXPECT_TRUE(b.frame(60, 0, 0, "50,5", "100").started) << "a decimal comma is a number";
}

TEST(AccelerationRuns, ShadingAgainstTheRunsOwnFigures) {
    EXPECT_EQ(shadeFactor(57), 5);
    EXPECT_EQ(shadeFactor(37), 8);

    struct Case {
        double x, min, mean, max;
        int factor;
        std::optional<Shade> shade;
    };
    const Case cases[] = {
        {5, 0, 5, 10, 1, Shade{255, 255, 0}}, // at the mean
        {0, 0, 5, 10, 1, Shade{1, 255, 0}},   // |256 − 255| = 1
        {4, 0, 5, 10, 5, Shade{1, 255, 0}},   // 256 − 255 = 1
        {0, 0, 5, 10, 5, Shade{251, 255, 0}}, // |256 − 1275| = 1019, low byte 251
        {10, 0, 5, 10, 5, Shade{255, 0, 0}},  // at the maximum
        {6, 0, 5, 10, 1, Shade{255, 102, 0}}, // 255 × 4 / 10
        {4, 5, 5, 10, 1, std::nullopt},       // below a mean equal to the minimum
        {6, 5, 5, 5, 1, std::nullopt},        // no spread above
    };
    for (const Case &c : cases)
        EXPECT_EQ(runCellShade(c.x, c.min, c.mean, c.max, c.factor), c.shade)
            << c.x << " in " << c.min << "/" << c.mean << "/" << c.max << " t=" << c.factor;

    // The grid shades only a finished run with its own columns 1 to 3 as reference.
    Bench b;
    b.test.toggleArmed();
    b.counter = 1;
    b.frame(5, 4.f);
    b.counter = 3;
    b.frame(6, 8.f);
    EXPECT_FALSE(b.runs.shade(4, 1).has_value()) << "not while armed";
    b.frame(150, 8.f);
    ASSERT_FALSE(b.test.armed());
    EXPECT_EQ(b.runs.shade(2, 1), (Shade{255, 255, 0})) << "the mean itself";
    EXPECT_EQ(b.runs.shade(4, 2), (Shade{255, 255, 0})) << "a constant row sits at its mean";
    b.runs.setCell(2, 2, QString());
    EXPECT_FALSE(b.runs.shade(4, 2).has_value()) << "an empty reference cell shades nothing";
    EXPECT_FALSE(b.runs.shade(0, 1).has_value()) << "names are never shaded";
    EXPECT_TRUE(b.runs.data(b.runs.index(0, 4), AccelerationRuns::ShadeRole).isValid());
}
