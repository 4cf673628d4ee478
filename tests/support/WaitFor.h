#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace korvel::test {

// Runs the UI thread's events until `condition` holds or `ms` have passed;
// the workers' hand-overs to the UI thread run meanwhile.
inline bool waitFor(const std::function<bool()> &condition, int ms = 20000) {
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Runs the UI thread's events for `ms` (for checking that nothing happens).
inline void runEventsFor(int ms) {
    waitFor([] { return false; }, ms);
}

} // namespace korvel::test
