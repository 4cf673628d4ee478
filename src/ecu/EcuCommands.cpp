#include "ecu/EcuCommands.h"

#include "ecu/EcuTexts.h"

namespace korvel {

namespace {
const QString kDefaultPortName = QStringLiteral("COM1");
const QString kDefaultPortSpeed = QStringLiteral("57600");
constexpr int kReadRamPause = 200;
constexpr int kWritePause = 100; // ms before a write command, or between its two blocks of a pass
} // namespace

const std::vector<EcuCommands::Row> &EcuCommands::table() {
    static const std::vector<Row> rows{
        {EcuCommandKind::OpenComPort, &EcuCommands::OpenComPort},
        {EcuCommandKind::CloseComPort, &EcuCommands::CloseComPort},
        {EcuCommandKind::DiagnosticECU, &EcuCommands::DiagnosticECU},
        {EcuCommandKind::ReadFW, &EcuCommands::ReadFW},
        {EcuCommandKind::remake, &EcuCommands::remake},
        {EcuCommandKind::remake_four_points, &EcuCommands::remake_four_points},
        {EcuCommandKind::correct1DF, &EcuCommands::correct1DF},
        {EcuCommandKind::correct23DF, &EcuCommands::correct23DF},
        {EcuCommandKind::rewritetabl, &EcuCommands::rewritetabl},
        {EcuCommandKind::remakegbc, &EcuCommands::remakegbc},
        {EcuCommandKind::remakeuoz, &EcuCommands::remakegbc},
        {EcuCommandKind::remakepopr, &EcuCommands::remakepopr},
        {EcuCommandKind::RewriteDR, &EcuCommands::RewriteDR},
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

// The single-cell and four-point writes always succeed: a poll follows and the command ends.
void EcuCommands::remake(const EcuCommand &command) {
    m_writes.singleCell(command);
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

void EcuCommands::remake_four_points(const EcuCommand &command) {
    m_writes.fourPoints(command);
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

void EcuCommands::correct1DF(const EcuCommand &command) {
    if (m_fields.isConnected())
        m_host.pause(kWritePause);
    m_writes.shortWrite(command);
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

void EcuCommands::correct23DF(const EcuCommand &command) {
    if (m_fields.isConnected())
        m_host.pause(kWritePause);
    m_writes.blockWriter(command);
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

// The window keeps its firmware buttons off while the tables go out.
void EcuCommands::rewritetabl(const EcuCommand &command) {
    if (m_fields.isConnected()) {
        EcuWriteResult started;
        started.command = command.kind;
        started.finished = false;
        m_host.PublishWrite(started);
        m_host.pause(kWritePause);
    }
    m_writes.rewriteTables(command);
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

// Two blocks per pass (the first only while connected); the command stays
// pending until the fourth block is out.
void EcuCommands::remakegbc(const EcuCommand &command) {
    bool finished = false;
    if (m_fields.isConnected()) {
        finished = m_writes.tableBlock(command);
        m_host.pause(kWritePause);
    }
    if (!finished)
        finished = m_writes.tableBlock(command);
    if (!finished)
        return;
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

// One block per pass.
void EcuCommands::remakepopr(const EcuCommand &command) {
    if (!m_writes.tableBlock(command))
        return;
    m_link.DiagnosticRequest();
    clear(command);
    m_writes.publish();
}

void EcuCommands::RewriteDR(const EcuCommand &command) {
    m_writes.rewriteThrottleCorrection(command);
    clear(command);
    m_writes.publish();
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
