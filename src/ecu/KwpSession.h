#pragma once

#include "ecu/EcuFields.h"
#include "ecu/EcuLink.h"
#include "ecu/EcuMemory.h"
#include "ecu/EcuResults.h"
#include "ecu/WorkerHost.h"

#include <QString>

#include <optional>

namespace korvel {

// The rate byte of startDiagnosticSession for a K-line rate text; none for
// rates the ECU does not offer.
std::optional<char> sessionRateByte(const QString &portSpeed);

// Start and end of a KWP2000 session, with the switch of the line rate.
class KwpSession {
public:
    static constexpr int StepPause = 200;      // ms after every session request
    static constexpr int ClosingTimeOut = 100; // both exchange pauses while closing

    KwpSession(EcuFields &fields, WorkerHost &host, EcuLink &link, EcuMemory &memory)
        : m_fields(fields), m_host(host), m_link(link), m_memory(memory) {}

    // None when the session started; otherwise how the connect ends.
    std::optional<EcuConnectOutcome> StartSession();
    bool StopSession();

private:
    bool request(const QByteArray &data);
    // Why the connect ends after a failed request: a port closed on the way means the device went away.
    EcuConnectOutcome failure() const {
        return m_link.portOpen() ? connectOutcomeOf(m_link.lastStatus()) : EcuConnectOutcome::PortLost;
    }

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuLink &m_link;
    EcuMemory &m_memory;
};

} // namespace korvel
