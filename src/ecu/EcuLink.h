#pragma once

#include "ecu/EcuCommand.h"
#include "ecu/EcuFields.h"
#include "ecu/EcuPort.h"
#include "ecu/LinkError.h"
#include "ecu/ResponseCheck.h"
#include "ecu/WorkerHost.h"

#include <QByteArray>

#include <optional>

namespace korvel {

// The K-line port of the ECU worker and the exchange of one request: frame,
// send, pause, read back echo and answer, check the answer. Runs on the
// worker's thread only.
class EcuLink {
public:
    static constexpr int DefaultReadTimeOut = 160; // used when the read timeout is 0

    EcuLink(EcuFields &fields, WorkerHost &host) : m_fields(fields), m_host(host) {}

    // Takes the link of a connect: the port name and timeouts are published in
    // the fields, the rate and protocol stay here.
    void useSettings(const EcuLinkSettings &settings);
    const QString &speed() const { return m_speed; }
    bool fastProtocol() const { return m_protocol == Protocol::Fast; }
    bool verifyWrites() const { return m_verifyWrites; }
    bool fastExchange() const { return m_fastExchange; }

    bool OpenEcuPort();
    // Switches the port to the connect's rate, or to `rate` when given.
    bool SetEcuBaud(int rate = 0);
    bool CloseEcuPort();
    bool portOpen() const { return m_port.isOpen(); }

    bool ExchangeRequest(const QByteArray &request);
    // How the last exchange ended.
    ExchangeStatus lastStatus() const { return m_status; }
    // The ECU kept silent in the last exchange: nothing came after the echo
    // (or nothing at all). Bytes that are no frame are an answer, a spoilt one.
    bool lastAnswerMissing() const { return m_answerMissing; }
    // The data of the last exchange's answer; empty when none could be parsed.
    const QByteArray &lastResponse() const { return m_lastResponse; }
    void ReportLinkError(LinkErrorCode code, const QString &text = {});
    // The diagnostic frame request of the active protocol; counts in `numlog`.
    bool DiagnosticRequest();

    // Data of the last accepted memory read of this exchange (empty when the
    // read failed), and the worker unit's `ReadResult`.
    const QByteArray &lastReadData() const { return m_lastReadData; }
    const QByteArray &ReadResult() const { return m_readResult; }

private:
    bool checkDeviceLost();
    bool fail(ExchangeStatus status);
    // The bytes of one exchange: after PortReadTimeOut, or as soon as the
    // echo of `sent` and one whole answer are in. Nothing when the exchange
    // ended otherwise (m_status says how).
    std::optional<QByteArray> readExchange(const QByteArray &sent);
    void useAnswer(const ResponseVerdict &verdict);
    void useReadData(const ResponseVerdict &verdict);

    EcuFields &m_fields;
    WorkerHost &m_host;
    EcuPort m_port;
    QString m_speed;
    Protocol m_protocol = Protocol::Fast;
    bool m_verifyWrites = false;
    bool m_fastExchange = false;
    ExchangeStatus m_status = ExchangeStatus::Done;
    bool m_answerMissing = true;
    QByteArray m_lastResponse;
    QByteArray m_lastReadData;
    QByteArray m_readResult;
};

} // namespace korvel
