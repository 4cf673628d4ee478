#pragma once

#include "live/AccelerationRuns.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel {

class LiveChannels;

// What one processed frame brings to the acceleration test.
struct AccelerationFrame {
    double speed = 0;       // vehicle speed
    QString startText;      // the start speed as typed
    QString endText;        // the end speed as typed
    int frameCounter = 0;   // the tuning grid's window-hit counter
    int secondOfMinute = 0; // wall clock, 0..59
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
// recording every channel's value per counted frame into the run grid.
class AccelerationTest {
public:
    static constexpr int kFrameLimit = 20000;
    static constexpr int kTimerStepMs = 40;

    explicit AccelerationTest(AccelerationRuns &runs) : m_runs(runs) {}

    // A connection starts: disarmed, runs numbered from 1 again, list emptied.
    void startConnection();
    // The button: arms a disarmed test and disarms an armed one, in any state.
    void toggleArmed();
    // TimerRazgon.
    void timerTick() { m_elapsedMs += kTimerStepMs; }
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
    int m_startMark = 0;
    double m_elapsedMs = 0;
    int m_runNumber = 1;
    QStringList m_finishedRuns;
};

} // namespace korvel
