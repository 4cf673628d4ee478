// The acceleration test as the session drives it: processed frames of the
// standard protocol, no firmware (so the tuning counts no window hits), and a
// window thread that was busy part of the run.
#include "app/AccelerationController.h"
#include "app/SessionTimers.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "live/EngineTick.h"
#include "live/FrameLayout.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

constexpr int kSpeedByte = 17; // vehicle speed in km/h, standard protocol

struct AccelerationRig {
    ControlBoard board;
    SessionTimers timers;
    ProgramLog log;
    EngineTick engine{board};
    AccelerationController acceleration{timers, board, engine, log};
    qint64 clockMs = 7'000'123; // a monotonic clock with no relation to the time of day
    int numlog = 0;

    AccelerationRig() {
        engine.startConnection(Protocol::Standard);
        acceleration.startConnection(channelNames(Protocol::Standard));
        acceleration.setClock([this] { return clockMs; });
        acceleration.setStartText(QStringLiteral("10"));
        acceleration.setEndText(QStringLiteral("100"));
    }
    // One processed frame `afterMs` after the previous one. TimerRazgon never
    // fires: the test has no event loop, as a window thread that is busy.
    void frame(int speed, qint64 afterMs) {
        clockMs += afterMs;
        QByteArray bytes(frameLength(Protocol::Standard), '\0');
        bytes[kSpeedByte] = static_cast<char>(speed);
        engine.processFrame(bytes, ++numlog, TickInputs{});
        acceleration.updateFrame();
    }
    int speedRow() {
        const AccelerationRuns &runs = acceleration.runs();
        for (int q = 1; q <= runs.channelCount(); ++q)
            if (runs.cell(0, q) == QStringLiteral("Скорость автомобиля"))
                return q;
        return -1;
    }
};

} // namespace

// From 12 km/h to 104 km/h in 9 s at 20 frames a second, with the window
// thread held up for 3 s in the middle: the run takes 9 s, every frame of it
// is in the grid, and the mean is over those frames.
TEST(AccelerationControllerTest, RunTimeAndFramesDoNotDependOnTimerTicksOrWindowHits) {
    AccelerationRig rig;
    rig.acceleration.toggleArmed();
    rig.frame(5, 50);
    std::vector<int> recorded;
    int speed = 12;
    rig.frame(speed, 50); // passes the start speed: the run's first frame
    recorded.push_back(speed);
    qint64 elapsed = 0;
    while (elapsed < 9000 - 50) {
        const qint64 step = elapsed == 4000 ? 3000 : 50; // 3 s without a frame, 6 s with frames
        elapsed += step;
        speed = 12 + static_cast<int>(elapsed * 88 / 9000);
        rig.frame(speed, step);
        recorded.push_back(speed);
    }
    ASSERT_EQ(rig.acceleration.test().finishedRuns().size(), 0);
    rig.frame(104, 9000 - elapsed);

    ASSERT_EQ(rig.acceleration.test().finishedRuns(), QStringList{QStringLiteral("Разгон = 1")});
    EXPECT_EQ(rig.board.text(control::LabelSpeed), QStringLiteral("Время разгона:9"));

    const AccelerationRuns &runs = rig.acceleration.runs();
    const int q = rig.speedRow();
    ASSERT_GT(q, 0);
    // Columns 4 on: one per frame after the first, and the empty column to come.
    EXPECT_EQ(runs.columns(), 4 + static_cast<int>(recorded.size()) - 1 + 1);
    double sum = 0;
    for (int v : recorded)
        sum += v;
    const double mean = sum / static_cast<double>(recorded.size());
    EXPECT_NEAR(runs.number(2, q).value_or(-1), mean, 0.0005);
    EXPECT_EQ(runs.number(1, q).value_or(-1), 12);
    EXPECT_EQ(runs.number(3, q).value_or(-1), recorded.back());
    EXPECT_EQ(runs.cell(runs.columns() - 2, 0), QStringLiteral("8.95")) << "seconds at the last frame before the end";
}
