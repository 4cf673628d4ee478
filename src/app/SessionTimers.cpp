#include "app/SessionTimers.h"

namespace korvel {
namespace {

struct TimerDefinition {
    QTimer SessionTimers::*timer;
    const char *name;
    int intervalMs;
};

// Intervals in milliseconds; Timer2, Timer4 and Timer6 take theirs from the
// settings at connect.
constexpr TimerDefinition kTimers[] = {
    {&SessionTimers::StatusTimerTimerr, "StatusTimerTimerr", 50},
    {&SessionTimers::engineTimer, "engineTimer", 50},
    {&SessionTimers::ReadFWTimer, "ReadFWTimer", 50},
    {&SessionTimers::Timer3, "Timer3", 1000},
    {&SessionTimers::Timer1, "Timer1", 200},
    {&SessionTimers::Timer2, "Timer2", 2000},
    {&SessionTimers::Timer4, "Timer4", 10000},
    {&SessionTimers::Timer5, "Timer5", 30000},
    {&SessionTimers::Timer6, "Timer6", 5000},
    {&SessionTimers::TimerRW, "TimerRW", 200},
    {&SessionTimers::FindpointTTimer, "FindpointTTimer", 200},
    {&SessionTimers::TimerFasa, "TimerFasa", 69000},
    {&SessionTimers::TimerRazgon, "TimerRazgon", 40},
};

} // namespace

SessionTimers::SessionTimers(QObject *parent) : QObject(parent) {
    for (const TimerDefinition &def : kTimers) {
        QTimer &t = this->*(def.timer);
        t.setParent(this);
        t.setObjectName(QString::fromLatin1(def.name));
        t.setInterval(def.intervalMs);
        t.setTimerType(Qt::PreciseTimer);
    }
}

QList<QTimer *> SessionTimers::all() {
    QList<QTimer *> out;
    for (const TimerDefinition &def : kTimers)
        out.append(&(this->*(def.timer)));
    return out;
}

void SessionTimers::stopAll() {
    for (QTimer *t : all())
        t->stop();
}

} // namespace korvel
