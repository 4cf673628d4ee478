#pragma once

#include <map>

class QTimer;

namespace korvel {

class SessionTimers;

// The write-back timers run on a virtual clock (a simulated drive, a replayed
// log) instead of the event loop: the cycle filling (Timer4), the neighbours'
// learning (Timer6), the phase (TimerFasa) and the table rewrite (TimerRW).
// Their handlers stop and start them again, which sets the next time they
// are due.
class VirtualTimerClock {
public:
    explicit VirtualTimerClock(SessionTimers &timers) : m_timers(timers) {}

    // Fires every running timer that came due by `seconds`.
    void advanceTo(double seconds);

private:
    SessionTimers &m_timers;
    std::map<QTimer *, double> m_due; // the virtual time each running timer fires at
};

} // namespace korvel
