#pragma once

#include "ecu/TECUThread.h"
#include "lambda/TLAMBDAThread.h"
#include "lambda/WidebandValue.h"

#include <functional>
#include <memory>

namespace korvel {

class ProgramLog;
class SettingsList;

// The two long-running workers of the window: the ECU worker and the
// wideband lambda worker. They are created once per run and live until the
// window closes; re-initialising after a settings save keeps them.
class LinkWorkers {
public:
    LinkWorkers() = default;
    ~LinkWorkers();
    LinkWorkers(const LinkWorkers &) = delete;
    LinkWorkers &operator=(const LinkWorkers &) = delete;

    struct Handlers {
        TECUThread::ProgressHandler progress;             // the worker's ProgressState
        TECUThread::IdentificationHandler identification; // the 224-byte identification block
        TECUThread::ConnectOutcomeHandler connectOutcome; // how each connect ended
        TECUThread::FirmwareReadHandler firmwareRead;     // how each firmware read ended
        TECUThread::WriteHandler write{};                 // how each table write went
    };

    // Creates and starts both workers unless they already run. The lambda
    // worker's values go to `afrWideband`.
    void create(ProgramLog &log, Handlers handlers);
    bool created() const { return m_ecu != nullptr; }

    // Port discovery for the settings drop-downs and both workers.
    void discoverPorts(SettingsList &settings, ProgramLog &log);

    // Closing the window: a port still open gets "CloseComPort", then both
    // workers are asked to stop and waited for.
    void shutDown();

    TECUThread &ecu() { return *m_ecu; }
    const TECUThread &ecu() const { return *m_ecu; }
    TLAMBDAThread &lambda() { return *m_lambda; }
    const TLAMBDAThread &lambda() const { return *m_lambda; }

    WidebandValue afrWideband;

private:
    std::unique_ptr<TECUThread> m_ecu;
    std::unique_ptr<TLAMBDAThread> m_lambda;
};

} // namespace korvel
