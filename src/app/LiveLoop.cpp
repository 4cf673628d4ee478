#include "app/LiveLoop.h"

#include "core/LogDirectory.h"

namespace korvel {

LiveLoop::LiveLoop(ControlBoard &board, LogDirectory &directory, ProgramLog &log)
    : m_engine(board), m_csv(directory, log) {}

void LiveLoop::startConnection(Protocol protocol, bool writeCsv) {
    m_engine.startConnection(protocol);
    m_statistics.reset();
    trace = {};
    if (writeCsv)
        m_csv.start(protocol, kLogFieldSeparator);
}

void LiveLoop::stopConnection() {
    if (m_csv.isRunning())
        m_csv.stop();
    m_csv.waitWritten();
}

bool LiveLoop::tick(const QByteArray &frame, int numlog, const TickInputs &inputs) {
    const TickOutcome outcome = m_engine.processFrame(frame, numlog, inputs);
    if (m_tuningStep)
        m_tuningStep(m_engine, outcome.newRequest, trace);
    if (outcome.newRequest && m_csv.isRunning())
        m_csv.append(m_engine.channels(), trace);
    return outcome.newRequest;
}

} // namespace korvel
