#include "ecu/EcuCommands.h"

#include "ecu/EcuTexts.h"

namespace korvel {

namespace {
const QString kDefaultPortName = QStringLiteral("COM1");
const QString kDefaultPortSpeed = QStringLiteral("57600");
constexpr int kReadRamPause = 200;
} // namespace

const std::vector<EcuCommands::Row> &EcuCommands::table() {
    static const std::vector<Row> rows{
        {EcuCommandKind::OpenComPort, &EcuCommands::OpenComPort},
        {EcuCommandKind::CloseComPort, &EcuCommands::CloseComPort},
        {EcuCommandKind::DiagnosticECU, &EcuCommands::DiagnosticECU},
        {EcuCommandKind::ReadFW, &EcuCommands::ReadFW},
        {EcuCommandKind::InputOutputControl, &EcuCommands::InputOutputControl},
    };
    return rows;
}

void EcuCommands::runPending() {
    for (const Row &row : table()) {
        if (m_host.stopRequested())
            return;
        const std::optional<EcuCommand> pending = m_fields.Command.load();
        if (pending && pending->kind == row.kind)
            (this->*row.handler)(*pending);
    }
}

void EcuCommands::OpenComPort(const EcuCommand &command) {
    clear(command);
    m_host.PublishConnectOutcome(connect(command));
}

EcuConnectOutcome EcuCommands::connect(const EcuCommand &command) {
    if (m_link.portOpen())
        return EcuConnectOutcome::AlreadyOpen; // the open link keeps its settings
    EcuLinkSettings settings = command.link;
    if (settings.port.isEmpty())
        settings.port = kDefaultPortName;
    if (settings.speed.isEmpty())
        settings.speed = kDefaultPortSpeed;
    m_link.useSettings(settings);
    if (!m_link.OpenEcuPort())
        return EcuConnectOutcome::PortNotOpened;
    if (const std::optional<EcuConnectOutcome> failed = m_session.StartSession()) {
        m_fields.IsECUConnected = 0;
        return *failed;
    }
    m_fields.IsECUConnected = 1;
    if (m_link.fastProtocol()) {
        if (const std::optional<EcuConnectOutcome> ended = connectFastProtocol(command))
            return *ended;
    } else {
        m_link.DiagnosticRequest();
    }
    // Polling needs the port; a device lost on the way has closed it.
    m_fields.IsDiagnostic = m_link.portOpen() ? 1 : 0;
    return m_link.portOpen() ? EcuConnectOutcome::Polling : EcuConnectOutcome::PortLost;
}

// Identification read and the clearing of the correction marker area; an
// outcome stops the connect before this step sets polling on.
std::optional<EcuConnectOutcome> EcuCommands::connectFastProtocol(const EcuCommand &command) {
    m_host.PostLog(ecutext::ReadRam);
    m_host.pause(kReadRamPause);
    if (!m_memory.ReadIdentification()) {
        m_link.ReportLinkError(LinkErrorCode::RamRead);
        if (!m_link.portOpen())
            return EcuConnectOutcome::PortLost;
        return m_host.stopRequested() ? EcuConnectOutcome::Stopped : EcuConnectOutcome::IdentificationFailed;
    }
    for (int step = 1; step <= EcuMemory::ClearBlocks; ++step) {
        const bool finished = m_memory.ClearStep(command.kind);
        // A step that finished early has already set polling on.
        if (finished != (step == EcuMemory::ClearBlocks))
            return m_fields.IsDiagnostic.load() == 1 ? EcuConnectOutcome::Polling : EcuConnectOutcome::ClearFailed;
    }
    m_link.DiagnosticRequest();
    return std::nullopt;
}

void EcuCommands::CloseComPort(const EcuCommand &command) {
    clear(command);
    if (m_fields.isConnected())
        m_session.StopSession();
    m_fields.IsECUConnected = 0;
    m_link.CloseEcuPort();
}

void EcuCommands::DiagnosticECU(const EcuCommand &command) {
    clear(command);
    if (m_fields.isConnected())
        m_link.DiagnosticRequest();
}

void EcuCommands::ReadFW(const EcuCommand &command) {
    clear(command);
    // The window waits for a result, so every read hands one over.
    if (!m_fields.isConnected()) {
        m_host.PostLog(ecutext::FirmwareNotReady);
        m_host.PublishFirmwareRead({});
        return;
    }
    m_host.PostLog(ecutext::ReadRam);
    m_host.PublishFirmwareRead(m_memory.ReadFirmware());
}

void EcuCommands::InputOutputControl(const EcuCommand &command) {
    const auto sameAction = [serial = command.actuator.serial](const EcuCommand &pending) {
        return pending.kind == EcuCommandKind::InputOutputControl && pending.actuator.serial == serial;
    };
    // Without a session every request would fail at once, pass after pass.
    if (!m_fields.isConnected()) {
        m_actuatorStep.reset();
        m_fields.Command.finishIf(sameAction);
        return;
    }
    m_actuatorStep.take(command.actuator);
    if (!m_actuatorStep.run([this](const QByteArray &request) { return m_link.ExchangeRequest(request); },
                            m_fields.ControlState))
        return;
    m_actuatorStep.reset();
    m_link.DiagnosticRequest();
    m_fields.Command.finishIf(sameAction);
    m_host.PostLog(ecutext::ActuatorDone);
}

} // namespace korvel
