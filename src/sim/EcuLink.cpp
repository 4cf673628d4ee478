#include "sim/EcuLink.h"

#include "sim/LineOutput.h"

#include <poll.h>

#include <algorithm>

namespace korvel::sim {

namespace {

using std::chrono::milliseconds;

constexpr auto kPollStep = milliseconds(50);

} // namespace

EcuLink::EcuLink(EcuModel &model, FaultBoard &faults, TraceSink trace)
    : m_model(model), m_faults(faults), m_trace(std::move(trace)) {
    for (RequestKind kind : allRequestKinds())
        setAnswerForm(kind, kind == RequestKind::StartCommunication ? HeaderForm::Short : HeaderForm::LengthByte);
}

EcuLink::~EcuLink() {
    stop();
}

bool EcuLink::open(QString *error) {
    if (!m_pty.open(error))
        return false;
    m_path = m_pty.slavePath();
    return true;
}

void EcuLink::start() {
    if (m_thread.joinable() || !m_pty.isOpen())
        return;
    m_thread = std::thread([this] { run(); });
}

void EcuLink::stop() {
    m_end.raise();
    if (m_thread.joinable())
        m_thread.join();
    m_pty.close();
}

void EcuLink::vanish() {
    m_vanishRequested.store(true);
    m_end.raise();
    if (m_thread.joinable())
        m_thread.join();
    if (!m_vanished.exchange(true)) {
        m_pty.close();
        m_attached.store(false);
        trace(QStringLiteral("ECU device vanished"));
    }
}

void EcuLink::setAnswerForm(RequestKind kind, HeaderForm form) {
    m_forms[static_cast<std::size_t>(kind)].store(static_cast<int>(form));
}

HeaderForm EcuLink::answerForm(RequestKind kind) const {
    return static_cast<HeaderForm>(m_forms[static_cast<std::size_t>(kind)].load());
}

// A deep copy: a list or bytes shared with the link's own would be detached
// later on either thread, outside the lock.
QList<QByteArray> EcuLink::requestLog() const {
    std::lock_guard lock(m_logMutex);
    QList<QByteArray> copy;
    copy.reserve(m_log.size());
    for (const QByteArray &request : m_log)
        copy.append(QByteArray(request.constData(), request.size()));
    return copy;
}

void EcuLink::clearRequestLog() {
    std::lock_guard lock(m_logMutex);
    m_log.clear();
}

void EcuLink::run() {
    StopSignal::preciseWakeUps();
    bool attached = m_pty.programAttached();
    m_attached.store(attached);
    while (!m_end.raised()) {
        const auto now = Clock::now();
        checkSessionTimeout(now);
        const bool attachedNow = m_pty.programAttached();
        if (attachedNow != attached) {
            attached = attachedNow;
            m_attached.store(attached);
            m_parser.clear();
            m_parser.takeDiscarded();
            if (!attached)
                m_pty.readAvailable(); // what the program sent just before it closed its port
            trace(attached ? QStringLiteral("program opened the ECU port")
                           : QStringLiteral("program closed the ECU port"));
        }
        if (!attached) { // the master reports a hang-up at once: wait here instead
            m_end.sleepUntil(now + kDetachedPollStep);
            continue;
        }
        if (m_end.waitFor(m_pty.masterFd(), POLLIN, now + kPollStep) != StopSignal::Wake::Ready)
            continue;
        const QByteArray chunk = m_pty.readAvailable();
        if (!chunk.isEmpty())
            receive(chunk, Clock::now());
    }
    if (m_vanishRequested.load() && !m_vanished.exchange(true)) {
        m_pty.close();
        m_attached.store(false);
        trace(QStringLiteral("ECU device vanished"));
    }
}

void EcuLink::checkSessionTimeout(Clock::time_point now) {
    const int timeoutMs = m_sessionTimeoutMs.load();
    if (timeoutMs <= 0 || (!m_model.communicationStarted() && m_baud.load() == kInitialBaud))
        return;
    if (now - m_lastRequestAt < milliseconds(timeoutMs))
        return;
    m_model.endCommunication();
    m_baud.store(kInitialBaud);
    trace(
        QStringLiteral("no request for %1 ms: communication ended, back to %2 baud").arg(timeoutMs).arg(kInitialBaud));
}

void EcuLink::receive(const QByteArray &chunk, Clock::time_point arrival) {
    const ProgramLine line = m_pty.programLine();
    if (m_parser.pending() > 0 && arrival - m_lastByteAt > milliseconds(m_interByteTimeoutMs.load()))
        m_parser.clear(); // a frame that stopped half-way is abandoned
    traceDiscarded();
    // The K-line hands every byte straight back to its sender, at the sender's rate.
    const Clock::time_point start = std::max(arrival, m_lineFreeAt);
    m_lineFreeAt = sendToProgram(m_pty, m_end, chunk, line.baud, start, m_lineTiming.load());
    m_lastByteAt = std::max(arrival, m_lineFreeAt);
    // The ECU's receiver samples at the ECU's rate.
    const int ecuBaud = m_baud.load();
    if (line.baud != ecuBaud)
        trace(QStringLiteral("ECU <~ %1 sent at %2 baud, the ECU listens at %3")
                  .arg(hexText(chunk))
                  .arg(line.baud)
                  .arg(ecuBaud));
    m_parser.append(receivedBytes(transmitOverLine(chunk, line.baud, ecuBaud), ReceiverInput::discardingErrors()));
    while (!m_end.raised()) {
        const std::optional<ParsedFrame> request = m_parser.next();
        traceDiscarded();
        if (!request)
            break;
        answer(*request, m_lastByteAt);
    }
}

void EcuLink::answer(const ParsedFrame &request, Clock::time_point requestEnd) {
    m_lastRequestAt = Clock::now();
    {
        std::lock_guard lock(m_logMutex);
        m_log.append(request.data);
    }
    trace(QStringLiteral("ECU <- %1").arg(hexText(request.raw)));
    const RequestKind kind = classifyRequest(request.data);
    const std::optional<FaultRule> fault = m_faults.take(kind);
    if (fault)
        trace(QStringLiteral("fault %1 on %2").arg(faultKindName(fault->kind), requestKindName(kind)));
    if (fault && fault->kind == FaultKind::Vanish) {
        m_vanishRequested.store(true);
        m_end.raise();
        return;
    }
    EcuReply reply;
    if (!fault || !faultSkipsRequest(fault->kind))
        reply = m_model.handle(requestAfterFault(request.data, fault));
    const QByteArray wire = answerOnLine(request.data, reply, answerForm(kind), fault);
    if (!wire.isEmpty()) {
        const int delayMs = fault && fault->kind == FaultKind::LateAnswer ? fault->delayMs : m_latencyMs.load();
        const Clock::time_point due = requestEnd + milliseconds(delayMs);
        if (!m_end.sleepUntil(due))
            return;
        const int ecuBaud = m_baud.load();
        const int programBaud = m_pty.programLine().baud;
        trace(programBaud == ecuBaud ? QStringLiteral("ECU -> %1").arg(hexText(wire))
                                     : QStringLiteral("ECU -> %1 at %2 baud, the program listens at %3")
                                           .arg(hexText(wire))
                                           .arg(ecuBaud)
                                           .arg(programBaud));
        const Clock::time_point start = std::max(due, m_lineFreeAt);
        const int chunks = m_answerChunks.load();
        m_lineFreeAt = chunks > 1 ? sendInChunks(m_pty, m_end, wire, ecuBaud, start, m_lineTiming.load(), chunks,
                                                 [&] { switchRate(reply.baudAfter); })
                                  : sendToProgram(m_pty, m_end, wire, ecuBaud, start, m_lineTiming.load(),
                                                  [&] { switchRate(reply.baudAfter); });
    }
    switchRate(reply.baudAfter);
}

void EcuLink::switchRate(std::optional<int> baud) {
    if (!baud || *baud == m_baud.load())
        return;
    m_baud.store(*baud);
    trace(QStringLiteral("ECU now talks at %1 baud").arg(*baud));
}

void EcuLink::traceDiscarded() {
    const QByteArray discarded = m_parser.takeDiscarded();
    if (!discarded.isEmpty())
        trace(QStringLiteral("ECU ?? %1 not understood").arg(hexText(discarded)));
}

void EcuLink::trace(const QString &line) const {
    if (m_trace)
        m_trace(line);
}

} // namespace korvel::sim
