#pragma once

#include "ecu/ActuatorStep.h"
#include "ecu/EcuCommand.h"
#include "ecu/EcuFields.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/EcuResults.h"
#include "ecu/KwpSession.h"
#include "ecu/TableWrites.h"
#include "ecu/WorkerHost.h"

#include <optional>
#include <vector>

namespace korvel {

// The ECU worker's command set: a table of kinds and handlers, walked in
// order for the pending command. A handler ends the command (only if it is
// still the pending one) or leaves it for the next pass.
class EcuCommands {
public:
    using Handler = void (EcuCommands::*)(const EcuCommand &command);
    struct Row {
        EcuCommandKind kind;
        Handler handler;
    };
    static const std::vector<Row> &table();

    EcuCommands(EcuFields &fields, WorkerHost &host, EcuLink &link, KwpSession &session, EcuMemory &memory)
        : m_fields(fields), m_host(host), m_link(link), m_session(session), m_memory(memory),
          m_writes(fields, host, link, memory) {}

    // Runs every row whose kind is that of the pending command at that moment.
    void runPending();
    // A table write dropped half-way is reported (see TableWrites::noteDropped).
    void noteDroppedWrite() {
        if (m_writes.blocksInProgress())
            m_writes.noteDropped(m_fields.Command.load());
    }

private:
    void OpenComPort(const EcuCommand &command);
    void CloseComPort(const EcuCommand &command);
    void DiagnosticECU(const EcuCommand &command);
    void ReadFW(const EcuCommand &command);
    void remake(const EcuCommand &command);
    void remake_four_points(const EcuCommand &command);
    void correct1DF(const EcuCommand &command);
    void correct23DF(const EcuCommand &command);
    void rewritetabl(const EcuCommand &command);
    void remakegbc(const EcuCommand &command); // also "remakeuoz"
    void remakepopr(const EcuCommand &command);
    void RewriteDR(const EcuCommand &command);
    void InputOutputControl(const EcuCommand &command);

    // Every actuator still imposed goes back to the ECU (a way out of the
    // actuator controls other than the controls themselves).
    void releaseForcedActuators();
    // Logs the rows that stay forced and publishes how many are imposed.
    void reportActuators(const QList<int> &stuck);
    ActuatorStep::Exchange actuatorExchange();

    void clear(const EcuCommand &command) { m_fields.Command.finish(command.kind); }
    EcuConnectOutcome connect(const EcuCommand &command);
    // The fast protocol's steps after the session start; none when polling may start.
    std::optional<EcuConnectOutcome> connectFastProtocol(const EcuCommand &command);
    EcuConnectOutcome abandonConnect(const QString &line, EcuConnectOutcome outcome);

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuLink &m_link;
    KwpSession &m_session;
    EcuMemory &m_memory;
    TableWrites m_writes;
    ActuatorStep m_actuatorStep;
};

} // namespace korvel
