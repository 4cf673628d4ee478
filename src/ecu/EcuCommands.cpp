#include "ecu/EcuCommands.h"

#include "ecu/ActuatorTable.h"
#include "ecu/EcuTexts.h"

namespace korvel {

namespace {
const QString kDefaultPortName = QStringLiteral("COM1");
const QString kDefaultPortSpeed = QStringLiteral("57600");
constexpr int kReadRamPause = 200;
constexpr int kWritePause = 100;    // ms before a write command, or between its two blocks of a pass
constexpr int kConnectAttempts = 3; // tries of each connect step that reads or writes ECU memory
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
    const EcuConnectOutcome outcome = connect(command);
    // Actuators a lost link left imposed go back to the ECU first.
    if (outcome == EcuConnectOutcome::Polling)
        releaseForcedActuators();
    m_host.PublishConnectOutcome(outcome);
}

ActuatorStep::Exchange EcuCommands::actuatorExchange() {
    return [this](const QByteArray &request) { return m_link.ExchangeRequest(request); };
}

void EcuCommands::reportActuators(const QList<int> &stuck) {
    for (int row : stuck)
        m_host.PostLog(ecutext::ActuatorStillForced + actuatorTable()[row].name);
    m_fields.forcedActuators = static_cast<int>(m_actuatorStep.forced().size());
}

void EcuCommands::releaseForcedActuators() {
    if (m_actuatorStep.forced().empty() || !m_fields.isConnected())
        return;
    m_actuatorStep.reset();
    reportActuators(m_actuatorStep.releaseForced(actuatorExchange(), m_fields.ControlState));
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

// Identification read and the clearing of the correction marker area, each
// tried a few times; an outcome stops the connect before this step sets polling on.
std::optional<EcuConnectOutcome> EcuCommands::connectFastProtocol(const EcuCommand &command) {
    m_host.PostLog(ecutext::ReadRam);
    m_host.pause(kReadRamPause);
    bool identified = false;
    for (int attempt = 1; attempt <= kConnectAttempts && !identified; ++attempt) {
        identified = m_memory.ReadIdentification();
        if (identified)
            break;
        m_link.ReportLinkError(LinkErrorCode::RamRead);
        if (!m_link.portOpen())
            return EcuConnectOutcome::PortLost;
        if (m_host.stopRequested())
            return EcuConnectOutcome::Stopped;
    }
    if (!identified)
        return abandonConnect(ecutext::IdentificationGaveUp, EcuConnectOutcome::IdentificationFailed);

    m_memory.startClear();
    int failures = 0;
    while (!m_memory.ClearStep(command.kind)) {
        if (m_memory.clearBlockLanded()) {
            failures = 0;
            continue;
        }
        if (!m_link.portOpen())
            return EcuConnectOutcome::PortLost;
        if (m_host.stopRequested())
            return EcuConnectOutcome::Stopped;
        if (++failures >= kConnectAttempts)
            return abandonConnect(ecutext::ClearGaveUp, EcuConnectOutcome::ClearFailed);
    }
    // The last block has set polling on.
    m_link.DiagnosticRequest();
    return std::nullopt;
}

// A connect that cannot finish closes its session and port, so that the
// user can simply connect again; the line says which step failed.
EcuConnectOutcome EcuCommands::abandonConnect(const QString &line, EcuConnectOutcome outcome) {
    m_host.PostLog(line);
    m_session.StopSession();
    m_fields.IsECUConnected = 0;
    m_link.CloseEcuPort();
    return outcome;
}

void EcuCommands::CloseComPort(const EcuCommand &command) {
    clear(command);
    if (m_fields.isConnected()) {
        releaseForcedActuators();
        m_session.StopSession();
    }
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
    releaseForcedActuators();
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
    const bool finished = m_actuatorStep.run(actuatorExchange(), m_fields.ControlState);
    m_fields.forcedActuators = static_cast<int>(m_actuatorStep.forced().size());
    if (!finished)
        return;
    const QList<int> stuck = m_actuatorStep.stuckRows();
    m_actuatorStep.reset();
    m_link.DiagnosticRequest();
    m_fields.Command.finishIf(sameAction);
    // Done only when every actuator it returned went back to the ECU.
    if (stuck.isEmpty())
        m_host.PostLog(ecutext::ActuatorDone);
    reportActuators(stuck);
}

} // namespace korvel
