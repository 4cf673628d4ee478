#include "app/VirtualTimerClock.h"

#include "app/SessionTimers.h"

#include <QMetaObject>
#include <QTimer>

namespace korvel {

void VirtualTimerClock::advanceTo(double seconds) {
    for (QTimer *timer : {&m_timers.Timer4, &m_timers.Timer6, &m_timers.TimerFasa, &m_timers.TimerRW}) {
        if (!timer->isActive()) {
            m_due.erase(timer);
            continue;
        }
        const auto due = m_due.try_emplace(timer, seconds + timer->interval() / 1000.0).first;
        if (seconds < due->second)
            continue;
        QMetaObject::invokeMethod(timer, "timeout");
        due->second = seconds + timer->interval() / 1000.0;
    }
}

} // namespace korvel
