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
        {ecucommand::OpenComPort, &EcuCommands::OpenComPort},
        {ecucommand::CloseComPort, &EcuCommands::CloseComPort},
        {ecucommand::DiagnosticECU, &EcuCommands::DiagnosticECU},
    };
    return rows;
}

void EcuCommands::runPending() {
    for (const Row &row : table()) {
        if (m_host.stopRequested())
            return;
        if (m_fields.Command.load() == row.name)
            (this->*row.handler)(row.name);
    }
}

void EcuCommands::OpenComPort(const QString &command) {
    clear(command);
    if (m_fields.PortName.load().isEmpty())
        m_fields.PortName.store(kDefaultPortName);
    if (m_fields.PortSpeed.load().isEmpty())
        m_fields.PortSpeed.store(kDefaultPortSpeed);
    if (!m_link.OpenEcuPort())
        return;
    if (!m_session.StartSession()) {
        m_fields.IsECUConnected = 0;
        return;
    }
    m_fields.IsECUConnected = 1;
    if (m_fields.isFastProtocol() && !connectFastProtocol(command))
        return;
    if (!m_fields.isFastProtocol())
        m_link.DiagnosticRequest();
    // Polling needs the port; a device lost on the way has closed it.
    m_fields.IsDiagnostic = m_link.portOpen() ? 1 : 0;
}

// Identification read and the clearing of the correction marker area; false
// stops the connect before polling starts.
bool EcuCommands::connectFastProtocol(const QString &command) {
    m_host.PostLog(ecutext::ReadRam);
    m_host.pause(kReadRamPause);
    if (!m_memory.ReadIdentification()) {
        m_link.ReportLinkError(LinkErrorCode::RamRead);
        return false;
    }
    for (int step = 1; step <= EcuMemory::ClearBlocks; ++step) {
        const bool finished = m_memory.ClearStep(command);
        if (finished != (step == EcuMemory::ClearBlocks))
            return false;
    }
    m_link.DiagnosticRequest();
    return true;
}

void EcuCommands::CloseComPort(const QString &command) {
    clear(command);
    if (m_fields.isConnected())
        m_session.StopSession();
    m_fields.IsECUConnected = 0;
    m_link.CloseEcuPort();
}

void EcuCommands::DiagnosticECU(const QString &command) {
    clear(command);
    if (m_fields.isConnected())
        m_link.DiagnosticRequest();
}

} // namespace korvel
