#include "ecu/EcuLink.h"

#include "ecu/EcuTexts.h"
#include "ecu/FrameCompleteness.h"
#include "ecu/KwpFrame.h"

#include <QDeadlineTimer>

namespace korvel {

namespace {
const QByteArray kFastDiagnosticRequest("\x21\x0F", 2);
const QByteArray kStandardDiagnosticRequest("\x21\x01", 2);
// Longest wait for bytes between looks at a stop request.
constexpr int kWaitSlice = 20;
} // namespace

void EcuLink::useSettings(const EcuLinkSettings &settings) {
    m_fields.PortName.store(settings.port);
    m_fields.PortTimeOut = settings.portTimeOut;
    m_fields.PortReadTimeOut = settings.portReadTimeOut;
    m_speed = settings.speed;
    m_protocol = settings.protocol;
    m_verifyWrites = settings.verifyWrites;
    m_fastExchange = settings.fastExchange;
}

bool EcuLink::OpenEcuPort() {
    if (m_fields.ErrorComPorts.load() != 0 || m_port.isOpen())
        return false;
    const QString name = m_fields.PortName.load();
    m_host.PostLog(name + ecutext::Opening);
    if (!m_port.open(name)) {
        m_host.PostLog(ecutext::CannotOpen + name + ecutext::NameTail);
        m_fields.IsComConnected = 0;
        return false;
    }
    m_host.PostLog(name + ecutext::Speed + m_speed);
    m_fields.IsComConnected = 1;
    return true;
}

bool EcuLink::SetEcuBaud(int rate) {
    if (rate == 0)
        rate = m_speed.toInt();
    const bool set = m_port.SetEcuBaud(rate);
    checkDeviceLost();
    return set;
}

bool EcuLink::CloseEcuPort() {
    m_fields.IsDiagnostic = 0;
    if (!m_port.isOpen())
        return true;
    m_host.PostLog(m_fields.PortName.load() + ecutext::Closing);
    m_port.close();
    m_fields.IsDiagnostic = 0;
    m_fields.IsECUConnected = 0;
    m_fields.IsComConnected = 0;
    return true;
}

// A device that vanished is closed at once, so the worker neither spins on
// its errors nor talks into the void; the user sees why and may reconnect.
bool EcuLink::checkDeviceLost() {
    if (!m_port.deviceLost())
        return false;
    if (m_port.isOpen()) {
        m_port.close();
        m_fields.IsDiagnostic = 0;
        m_fields.IsECUConnected = 0;
        m_fields.IsComConnected = 0;
        m_host.PostLog(ecutext::PortLost + m_fields.PortName.load() + ecutext::PortLostTail);
    }
    return true;
}

bool EcuLink::fail(ExchangeStatus status) {
    m_status = status;
    return false;
}

bool EcuLink::ExchangeRequest(const QByteArray &request) {
    m_lastReadData.clear();
    m_lastResponse.clear();
    m_answerMissing = true;
    if (m_fields.PortReadTimeOut.load() == 0)
        m_fields.PortReadTimeOut = DefaultReadTimeOut;
    if (!m_port.isOpen())
        return fail(ExchangeStatus::PortClosed);

    m_host.pause(m_fields.PortTimeOut.load());
    if (m_host.stopRequested())
        return fail(ExchangeStatus::Stopped);
    const QByteArray frame = KwpFrame::build(request);
    // What an earlier exchange left unread would pass for this one's echo.
    if (m_fastExchange)
        m_port.discardQueued();
    const QByteArray sent = m_port.WriteBytes(frame) ? frame : QByteArray();
    if (checkDeviceLost())
        return fail(ExchangeStatus::PortLost);

    const std::optional<QByteArray> read = readExchange(sent);
    if (!read)
        return false;
    const QByteArray &received = *read;
    if (received.isEmpty()) {
        ReportLinkError(LinkErrorCode::NoAnswer);
        return fail(ExchangeStatus::NoAnswer);
    }

    // The K-line echoes every byte the tester sends; the answer follows the echo.
    m_answerMissing = false;
    if (KwpFrame::parse(received) != request)
        return fail(ExchangeStatus::WrongAnswer);
    m_answerMissing = received.size() <= sent.size();
    const QByteArray response =
        sent.isEmpty() ? QByteArray()
                       : KwpFrame::parse(QByteArrayView(received).sliced(qMin(sent.size(), received.size())));
    m_lastResponse = response;
    const ResponseVerdict verdict = ResponseCheck(request, response, m_fields.MemoryAccessReady.load());
    if (verdict.error)
        ReportLinkError(verdict.error->code, verdict.error->text);
    if (!verdict.success)
        return fail(response.isEmpty() ? ExchangeStatus::NoAnswer : ExchangeStatus::WrongAnswer);
    useAnswer(verdict);
    m_status = ExchangeStatus::Done;
    return true;
}

std::optional<QByteArray> EcuLink::readExchange(const QByteArray &sent) {
    const int readTimeOut = m_fields.PortReadTimeOut.load();
    if (!m_fastExchange || sent.isEmpty()) {
        m_host.pause(readTimeOut);
        if (m_host.stopRequested()) {
            fail(ExchangeStatus::Stopped);
            return std::nullopt;
        }
        QByteArray received = m_port.ReadAvailable();
        if (checkDeviceLost()) {
            fail(ExchangeStatus::PortLost);
            return std::nullopt;
        }
        return received;
    }

    const QDeadlineTimer deadline(readTimeOut);
    QByteArray received;
    while (true) {
        received += m_port.ReadAvailable();
        if (checkDeviceLost()) {
            fail(ExchangeStatus::PortLost);
            return std::nullopt;
        }
        if (exchangeComplete(received, sent.size()))
            return received;
        if (m_host.stopRequested()) {
            fail(ExchangeStatus::Stopped);
            return std::nullopt;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return received;
        m_port.waitForBytes(static_cast<int>(qMin<qint64>(left, kWaitSlice)));
    }
}

void EcuLink::useAnswer(const ResponseVerdict &verdict) {
    switch (verdict.use) {
    case AnswerUse::DiagnosticFrame:
        m_fields.DiagnosticInfo.store(verdict.payload);
        m_fields.diagnosticFrames.fetch_add(1);
        break;
    case AnswerUse::ActuatorState:
        m_fields.ControlState.store(verdict.payload);
        for (char byte : verdict.payload)
            m_host.PostLog(hexText(QByteArrayView(&byte, 1)));
        break;
    case AnswerUse::MemoryRead:
        useReadData(verdict);
        break;
    case AnswerUse::None:
        break;
    }
}

void EcuLink::useReadData(const ResponseVerdict &verdict) {
    m_lastReadData = verdict.payload;
    const QByteArray &data = verdict.payload;
    switch (verdict.readTarget) {
    case ReadTarget::Unused:
        return;
    case ReadTarget::Complectation:
        m_fields.komplectecu.update([&](QString &text) { text += hexText(data); });
        m_fields.komplectecu_b.update([&](QStringList &bytes) {
            for (qsizetype i = 0; i < data.size() && verdict.readIndex + i < bytes.size(); ++i)
                bytes[verdict.readIndex + i] = hexText(data.sliced(i, 1));
        });
        if (verdict.someSettings)
            m_host.PostLog(ecutext::SomeSettings);
        break;
    case ReadTarget::Axis:
        m_fields.axix.update([&](QVector<int> &values) {
            for (qsizetype i = 0; i < data.size() && verdict.readIndex + i < values.size(); ++i)
                values[verdict.readIndex + i] = static_cast<unsigned char>(data[i]);
        });
        break;
    case ReadTarget::Result:
        break;
    }
    m_readResult = data;
}

void EcuLink::ReportLinkError(LinkErrorCode code, const QString &text) {
    const int count = m_fields.error.fetch_add(1) + 1;
    for (const QString &line : linkErrorLines({code, text}, count))
        m_host.PostLog(line);
}

bool EcuLink::DiagnosticRequest() {
    const bool ok = ExchangeRequest(fastProtocol() ? kFastDiagnosticRequest : kStandardDiagnosticRequest);
    m_fields.numlog.fetch_add(1);
    return ok;
}

} // namespace korvel
