#pragma once

#include <QObject>
#include <QTimer>

namespace korvel {

// The window's timers. All run on the UI thread and start disabled; the
// session enables them as connecting, tuning and the tests go on.
class SessionTimers : public QObject {
    Q_OBJECT
public:
    explicit SessionTimers(QObject *parent = nullptr);

    QTimer StatusTimerTimerr; // status bar and button states
    QTimer engineTimer;       // decode the latest diagnostic frame
    QTimer ReadFWTimer;       // wait for a firmware read to complete
    QTimer Timer3;            // wait until diagnostics run, then build the panels
    QTimer Timer1;            // repaint the tuning and acceleration grids
    QTimer Timer2;            // exchange statistics and automatic firmware save
    QTimer Timer4;            // correction write-back
    QTimer Timer5;            // post-connect set-up
    QTimer Timer6;            // neighbour-cell learning
    QTimer TimerRW;           // staged table rewrite
    QTimer FindpointTTimer;   // current-cell highlight of the tuning grid
    QTimer TimerFasa;         // injection-phase tuning
    QTimer TimerRazgon;       // acceleration timing

    QList<QTimer *> all();
    void stopAll();
};

} // namespace korvel
