#pragma once

#include "live/AccelerationRuns.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace korvel {

class LiveChannels;

// What one processed frame brings to the acceleration test.
struct AccelerationFrame {
    double speed = 0;        // vehicle speed
    QString startText;       // the start speed as typed
    QString endText;         // the end speed as typed
    qint64 frameCounter = 0; // processed frames since the connect: numbers the frames of a run
    qint64 clockMs = 0;      // a monotonic clock at this frame
    const LiveChannels *channels = nullptr;
};

// What the window is to do after a step.
struct AccelerationOutcome {
    bool started = false;   // RazgonSpeed green, TimerRazgon on
    bool finished = false;  // run listed, result shown, RazgonSpeed red, TimerRazgon off
    bool abandoned = false; // the frame limit ended the run: TimerRazgon off, labels untouched
    // A speed limit that is not a number stopped the test: the text typed.
    std::optional<QString> invalidLimit;
    QString result; // "Время разгона:" with the seconds, when finished
};

// The acceleration test: armed by the button, timing from the frame the speed
// rises above the start speed to the frame it rises above the end speed, and
// recording every channel's value per processed frame into the run grid.
// The time is the monotonic clock's difference between those two frames, so a
// window thread that was busy (timer ticks that never came) loses nothing.
class AccelerationTest {
public:
    static constexpr int kFrameLimit = 20000;

    explicit AccelerationTest(AccelerationRuns &runs) : m_runs(runs) {}

    // A connection starts: disarmed, runs numbered from 1 again, list emptied.
    void startConnection();
    // The button: arms a disarmed test and disarms an armed one, in any state.
    void toggleArmed();
    // TimerRazgon: the run time so far, for a display between frames.
    void timerTick(qint64 clockMs);
    AccelerationOutcome step(const AccelerationFrame &frame);

    bool armed() const { return m_armed; }
    bool running() const { return m_running; }
    double elapsedMs() const { return m_elapsedMs; }
    // "Разгон = 1", "Разгон = 2", ... one per finished run since the connect.
    const QStringList &finishedRuns() const { return m_finishedRuns; }

private:
    void stop();
    void record(const AccelerationFrame &frame);

    AccelerationRuns &m_runs;
    bool m_armed = false;
    bool m_running = false;
    bool m_firstRecorded = false;
    qint64 m_startMark = 0;     // the frame counter at the run's first frame
    qint64 m_lastCounter = 0;   // ... and at the last frame recorded
    qint64 m_startMs = 0;       // the clock at the run's first frame
    int m_recorded = 0;         // frames recorded in this run, the first included
    std::vector<double> m_sums; // per channel, over the frames recorded
    double m_elapsedMs = 0;
    int m_runNumber = 1;
    QStringList m_finishedRuns;
};

} // namespace korvel
