#include "app/LiveController.h"

#include "app/FirmwareController.h"
#include "app/LinkWorkers.h"
#include "app/LiveLoop.h"
#include "app/SessionTimers.h"
#include "app/ViewState.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "firmware/PressureSensor.h"

namespace korvel {
namespace {
constexpr int kStatisticsPanel = 6;
} // namespace

LiveController::LiveController(SessionTimers &timers, LinkWorkers &workers, LiveLoop &live, const FirmwareStore &store,
                               const FirmwareIdentity &identity, FirmwareController &firmware, ViewState &view)
    : m_timers(timers), m_workers(workers), m_live(live), m_store(store), m_identity(identity), m_firmware(firmware),
      m_view(view) {
    connect(&timers.engineTimer, &QTimer::timeout, this, &LiveController::onEngineTick);
    connect(&timers.Timer2, &QTimer::timeout, this, &LiveController::onStatisticsTick);
    connect(&timers.Timer1, &QTimer::timeout, this, &LiveController::onRepaintTick);
}

void LiveController::onEngineTick() {
    PressureSensor sensor;
    if (m_store.FirmwareLoaded()) {
        const PressureSensorConstants constants = pressureSensorConstants(m_store.image(), m_identity.FirmwareFamily());
        sensor = {true, constants.gain, constants.offset};
    }
    const TECUThread &ecu = m_workers.ecu();
    if (m_live.tick(ecu.DiagnosticInfo.load(), ecu.numlog.load(), {m_settings, m_workers.afrWideband.value(), sensor}))
        emit frameProcessed();
    emit liveUpdated();
}

void LiveController::onStatisticsTick() {
    m_view.setPanelText(kStatisticsPanel,
                        m_live.statisticsText(m_workers.ecu().numlog.load(), m_timers.Timer2.interval()));
    m_firmware.autoSave();
}

void LiveController::onRepaintTick() {
    if (m_store.FirmwareLoaded())
        emit gridRepaintRequested();
}

LiveController::HeldWork LiveController::hold() {
    const HeldWork held{m_timers.engineTimer.isActive(), m_timers.Timer2.isActive()};
    m_timers.engineTimer.stop();
    m_timers.Timer2.stop();
    return held;
}

void LiveController::resume(HeldWork held) {
    if (held.engine)
        m_timers.engineTimer.start();
    if (held.autoSave)
        m_timers.Timer2.start();
}

} // namespace korvel
