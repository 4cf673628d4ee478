#pragma once

#include "ecu/EcuFields.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/KwpSession.h"
#include "ecu/WorkerHost.h"

#include <QString>

#include <vector>

namespace korvel {

// Command names the window sends to the ECU worker.
namespace ecucommand {
inline const QString OpenComPort = QStringLiteral("OpenComPort");
inline const QString CloseComPort = QStringLiteral("CloseComPort");
inline const QString DiagnosticECU = QStringLiteral("DiagnosticECU");
} // namespace ecucommand

// The ECU worker's command set: a table of names and handlers, walked in
// order for the pending command. A handler clears the command (only if it
// still holds the command it handled) or leaves it for the next pass.
class EcuCommands {
public:
    using Handler = void (EcuCommands::*)(const QString &command);
    struct Row {
        QString name;
        Handler handler;
    };
    static const std::vector<Row> &table();

    EcuCommands(EcuFields &fields, WorkerHost &host, EcuLink &link, KwpSession &session, EcuMemory &memory)
        : m_fields(fields), m_host(host), m_link(link), m_session(session), m_memory(memory) {}

    // Runs every row whose name equals the pending command at that moment.
    void runPending();

private:
    void OpenComPort(const QString &command);
    void CloseComPort(const QString &command);
    void DiagnosticECU(const QString &command);

    void clear(const QString &command) { m_fields.Command.compareExchange(command, QString()); }
    bool connectFastProtocol(const QString &command);

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuLink &m_link;
    KwpSession &m_session;
    EcuMemory &m_memory;
};

} // namespace korvel
