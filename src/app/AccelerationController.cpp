#include "app/AccelerationController.h"

#include "app/SessionTimers.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "live/EngineTick.h"

#include <chrono>

namespace korvel {

namespace {
const QString kInvalidLimit = QStringLiteral("Тест разгона остановлен: скорость \"%1\" не число");
} // namespace

AccelerationController::AccelerationController(SessionTimers &timers, ControlBoard &controls, const EngineTick &engine,
                                               ProgramLog &log, QObject *parent)
    : QObject(parent), m_timers(timers), m_controls(controls), m_engine(engine), m_log(log), m_clockMs([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {
    connect(&timers.TimerRazgon, &QTimer::timeout, this, [this] { m_test.timerTick(m_clockMs()); });
    m_controls.setVisible(control::ComboBoxRazgon, false);
}

void AccelerationController::startConnection(const QStringList &channelNames) {
    m_runs.setChannels(channelNames);
    m_test.startConnection();
    emit runsListed({});
}

void AccelerationController::toggleArmed() {
    // TimerRazgon keeps running: a disarmed test ignores it until the next start.
    m_test.toggleArmed();
}

void AccelerationController::updateFrame() {
    using namespace control;
    const AccelerationOutcome out = m_test.step({m_engine.parameters().vehicleSpeed, m_startText, m_endText,
                                                 m_engine.processedFrames(), m_clockMs(), &m_engine.channels()});
    if (out.started) {
        m_timers.TimerRazgon.start();
        m_controls.setColor(RazgonSpeed, control::kGreen);
    }
    if (out.finished) {
        m_timers.TimerRazgon.stop();
        m_controls.setVisible(ComboBoxRazgon, true);
        emit runsListed(m_test.finishedRuns());
        m_controls.setColor(RazgonSpeed, kRed);
        m_controls.setText(LabelSpeed, out.result);
    }
    if (out.abandoned)
        m_timers.TimerRazgon.stop();
    if (out.invalidLimit) {
        m_timers.TimerRazgon.stop();
        m_log.append(kInvalidLimit.arg(*out.invalidLimit));
    }
}

} // namespace korvel
