#include "ecu/KwpSession.h"

#include "ecu/EcuPort.h"
#include "ecu/EcuTexts.h"

#include <array>
#include <utility>

namespace korvel {

namespace {
const QByteArray kStartCommunication("\x81", 1);
const QByteArray kStartDiagnosticSession("\x10\x81", 2);
const QByteArray kTesterPresent("\x3E\x01", 2);
const QByteArray kSwitchToRam("\x30\x0F\x06\x01", 4);
const QByteArray kStopDiagnosticSession("\x20", 1);
const QByteArray kStopCommunication("\x82", 1);
} // namespace

std::optional<char> sessionRateByte(const QString &portSpeed) {
    static const std::array<std::pair<QString, char>, 3> rates{{
        {QStringLiteral("10400"), 0x0A},
        {QStringLiteral("38400"), 0x26},
        {QStringLiteral("57600"), 0x39},
    }};
    for (const auto &[speed, rateByte] : rates)
        if (speed == portSpeed)
            return rateByte;
    return std::nullopt;
}

bool KwpSession::request(const QByteArray &data) {
    const bool ok = m_link.ExchangeRequest(data);
    m_host.pause(StepPause);
    return ok;
}

std::optional<EcuConnectOutcome> KwpSession::StartSession() {
    m_fields.komplectecu.store({});
    m_fields.komplectecu_b.store(QStringList(kComplectationBytes, QString()));

    // No wake-up pattern: the first frame goes out as an ordinary frame at 10400 baud.
    m_host.PostLog(ecutext::StartingCommunication);
    if (!request(kStartCommunication))
        return failure();

    m_host.PostLog(ecutext::StartingDiagnosticSession);
    const auto rateByte = sessionRateByte(m_link.speed());
    if (!rateByte) {
        m_host.PostLog(ecutext::BadSpeed);
        m_link.CloseEcuPort();
        return EcuConnectOutcome::BadSpeed;
    }
    // The ECU changes its rate after answering, whatever the answer says.
    const bool sessionStarted = m_link.ExchangeRequest(kStartDiagnosticSession + *rateByte);
    m_link.SetEcuBaud();
    m_host.pause(StepPause);
    if (!sessionStarted)
        return failure();

    m_host.PostLog(ecutext::TesterPresent);
    if (!request(kTesterPresent))
        return failure();

    if (!m_link.fastProtocol())
        return std::nullopt;
    m_host.PostLog(ecutext::SwitchToRam);
    if (!request(kSwitchToRam))
        return failure();
    if (!m_memory.ConfigurationReads())
        return failure();
    return std::nullopt;
}

bool KwpSession::StopSession() {
    m_fields.IsDiagnostic = 0;
    m_host.PostLog(ecutext::StopDiagnosticSession);
    m_fields.PortTimeOut = ClosingTimeOut;
    m_fields.PortReadTimeOut = ClosingTimeOut;
    const bool diagnosticStopped = m_link.ExchangeRequest(kStopDiagnosticSession);
    // An ECU that took the 20 talks at 10400 again; one that did not still
    // talks at the session rate, and the 82 ends its session all the same
    // (imposed actuators go back with it).
    if (diagnosticStopped)
        m_link.SetEcuBaud(EcuPort::InitialBaud);
    m_host.PostLog(ecutext::StopCommunication);
    const bool stopped = m_link.ExchangeRequest(kStopCommunication);
    if (!diagnosticStopped)
        m_link.SetEcuBaud(EcuPort::InitialBaud);
    return diagnosticStopped && stopped;
}

} // namespace korvel
