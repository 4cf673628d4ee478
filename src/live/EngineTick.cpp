#include "live/EngineTick.h"

#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "live/DisplayText.h"
#include "live/MainPanel.h"

namespace korvel {
namespace {

const QString kVehicleSpeed = QStringLiteral("Скорость Авто:");

} // namespace

// The worker's request counter restarts at 0 with the connection, so the
// remembered one must too, or no frame of the new connection would count.
void EngineTick::startConnection(Protocol protocol) {
    m_protocol = protocol;
    m_parameters.narrowband = false;
    m_lastNumlog = 0;
    m_processedFrames = 0;
    m_tunedByPressure.reset();
}

TickOutcome EngineTick::processFrame(const QByteArray &frame, int numlog, const TickInputs &inputs) {
    TickOutcome outcome;
    outcome.decoded = protocolOfFrame(frame.size());
    if (outcome.decoded) {
        showIndications(frame, *outcome.decoded, inputs.settings);
        const DecodeInputs decodeInputs{inputs.settings.narrowbandSensor, inputs.lambdaAfr, inputs.pressureSensor};
        decodeFrame(frame, decodeInputs, m_parameters, m_channels);
        showMainPanel(m_board, m_parameters, *outcome.decoded, inputs.settings.narrowbandSensor);
    }
    outcome.newRequest = takeNewRequest(numlog);
    if (outcome.newRequest) {
        const bool byPressure = m_tunedByPressure.value_or(inputs.settings.tuneByPressure);
        m_parameters.loadValue = byPressure ? m_parameters.pressure : m_parameters.throttle;
        ++m_processedFrames;
        m_board.setText(control::RazgonSpeed, kVehicleSpeed + generalText(m_parameters.vehicleSpeed));
    }
    return outcome;
}

void EngineTick::setWorkPoint(int workPoint) {
    if (m_protocol == Protocol::Fast)
        m_channels.set(1, static_cast<float>(workPoint));
}

void EngineTick::setTunedLoadAxis(bool byPressure) {
    m_tunedByPressure = byPressure;
    m_parameters.loadValue = byPressure ? m_parameters.pressure : m_parameters.throttle;
}

void EngineTick::showIndications(const QByteArray &frame, Protocol protocol, const LiveSettings &settings) {
    showTroubleCodes(m_board, troubleCodeView(frame, m_errorNames, settings.showErrors));
    if (protocol == Protocol::Fast)
        showIdleIndicator(m_board, frame);
    showKnock(m_board, knockBit(frame, protocol), settings.showKnock);
}

// Per-request work runs at most once per diagnostic request, even when that
// request's answer was rejected and the values are the last ones decoded.
bool EngineTick::takeNewRequest(int numlog) {
    if (numlog <= 0 || numlog <= m_lastNumlog)
        return false;
    m_lastNumlog = numlog;
    return true;
}

} // namespace korvel
