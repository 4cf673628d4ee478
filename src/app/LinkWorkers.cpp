#include "app/LinkWorkers.h"

#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "ecu/PortDiscovery.h"

namespace korvel {
namespace {
// Longest wait at exit for the worker to hand imposed actuators back and close
// the session: eight releases, each up to three times, and their read-backs.
constexpr int kReleaseAtExitMs = 15000;
} // namespace

LinkWorkers::~LinkWorkers() {
    shutDown();
}

void LinkWorkers::create(ProgramLog &log, Handlers handlers) {
    if (created())
        return;
    m_ecu = std::make_unique<TECUThread>(&log);
    m_ecu->setProgressHandler(std::move(handlers.progress));
    m_ecu->setIdentificationHandler(std::move(handlers.identification));
    m_ecu->setConnectOutcomeHandler(std::move(handlers.connectOutcome));
    m_ecu->setFirmwareReadHandler(std::move(handlers.firmwareRead));
    m_ecu->setWriteHandler(std::move(handlers.write));
    m_ecu->start(QThread::HighestPriority);

    m_lambda = std::make_unique<TLAMBDAThread>(&log);
    m_lambda->setOnChange([this](TLAMBDAThread &worker) { afrWideband.offer(worker.afr_float.load()); });
    m_lambda->ComConnect.store(false);
    m_lambda->Command.clear();
    m_lambda->start();
}

void LinkWorkers::discoverPorts(SettingsList &settings, ProgramLog &log) {
    const PortDiscovery found = DiscoverPorts({settings.value(setting::EcuCom), settings.value(setting::LambdaCom)});
    const int failed = publishDiscovery(found, settings, log);
    if (!created())
        return;
    m_lambda->myList.store(found.PortList);
    m_ecu->ErrorComPorts.store(failed);
}

void LinkWorkers::shutDown() {
    if (m_ecu) {
        if (m_ecu->IsComConnected.load() == 1) {
            m_ecu->Command.replace({EcuCommandKind::CloseComPort, {}});
            // Imposed actuators go back to the ECU before the program ends.
            if (m_ecu->forcedActuators.load() > 0)
                m_ecu->waitUntil([this] { return m_ecu->IsComConnected.load() == 0; }, kReleaseAtExitMs);
        }
        m_ecu->shutdown();
    }
    if (m_lambda) {
        if (m_lambda->ComConnect.load())
            m_lambda->Command.replace({LambdaCommandKind::CloseComPort, {}});
        m_lambda->shutdown();
    }
}

} // namespace korvel
