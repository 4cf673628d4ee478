#pragma once

#include "live/AccelerationRuns.h"
#include "live/AccelerationTest.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace korvel {

class ControlBoard;
class EngineTick;
class ProgramLog;
class SessionTimers;

// The acceleration test panel without the window: the arm button, the two
// speed limits as typed, TimerRazgon, and the run grid the window shows.
class AccelerationController : public QObject {
    Q_OBJECT
public:
    AccelerationController(SessionTimers &timers, ControlBoard &controls, const EngineTick &engine, ProgramLog &log,
                           QObject *parent = nullptr);

    AccelerationRuns &runs() { return m_runs; }
    const AccelerationTest &test() const { return m_test; }

    // A monotonic clock in milliseconds (tests fix it). Runs are timed by it and
    // their frames numbered by the engine's processed-frame counter.
    void setClock(std::function<qint64()> clockMs) { m_clockMs = std::move(clockMs); }

    // Connect: the grid takes the protocol's channels, the runs are numbered from 1.
    void startConnection(const QStringList &channelNames);
    // BitBtn25.
    void toggleArmed();
    // Pointrazgon1 and Pointrazgon2 as typed.
    void setStartText(const QString &text) { m_startText = text; }
    void setEndText(const QString &text) { m_endText = text; }
    QString startText() const { return m_startText; }
    QString endText() const { return m_endText; }

    // One processed frame, after the speed label has been written.
    void updateFrame();

signals:
    // ComboBoxRazgon's entries changed; the last one is selected.
    void runsListed(const QStringList &entries);

private:
    SessionTimers &m_timers;
    ControlBoard &m_controls;
    const EngineTick &m_engine;
    ProgramLog &m_log;
    AccelerationRuns m_runs;
    AccelerationTest m_test{m_runs};
    QString m_startText = QStringLiteral("0");
    QString m_endText = QStringLiteral("100");
    std::function<qint64()> m_clockMs;
};

} // namespace korvel
