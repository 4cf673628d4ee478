#include "app/ActuatorController.h"

#include "app/LinkWorkers.h"
#include "core/ControlNames.h"
#include "core/DiagnosticFrameLength.h"
#include "ecu/ActuatorStep.h"

namespace korvel {
namespace {
constexpr int kActuatorRetryMs = 50; // how often a waiting action looks whether the worker is free
} // namespace

ActuatorController::ActuatorController(LinkWorkers &workers, QObject *parent) : QObject(parent), m_workers(workers) {
    m_retry.setObjectName(QStringLiteral("actuatorRetry"));
    m_retry.setInterval(kActuatorRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ActuatorController::handOverWaiting);
}

void ActuatorController::diagnosticsShown(bool fastProtocol) {
    m_panelsBuilt = true;
    if (fastProtocol && !m_built) {
        m_built = true;
        emit builtChanged();
    }
}

void ActuatorController::diagnosticsHidden() {
    // The disconnect drops the worker's pending command; what waits goes with
    // it. The worker's close hands back whatever is still imposed.
    m_panelsBuilt = false;
    m_waiting.clear();
    m_retry.stop();
    if (m_checked) {
        m_checked = false;
        m_stateShown = false;
        for (Row &row : m_rows)
            row.overridden = false;
        emit changed();
    }
}

void ActuatorController::pageShown(const QString &page) {
    if (page != control::Paneldia)
        setChecked(false);
}

void ActuatorController::firmwareReadStarting() {
    setChecked(false);
}

ActuatorCommand ActuatorController::action(int row, std::uint8_t parameter) {
    ActuatorCommand command;
    command.inputOutputLocalIdentifier = actuatorTable()[row].localId;
    command.inputOutputControlParameter = parameter;
    return command;
}

void ActuatorController::setChecked(bool on) {
    if (!m_built || on == m_checked)
        return;
    m_checked = on;
    m_stateShown = false;
    if (on) {
        send(action(m_selected, ActuatorStep::ReportState));
    } else {
        // Every actuator goes back to the ECU, one per pass.
        ActuatorCommand all = action(0, ActuatorStep::ReturnControl);
        all.inputOutputControlParameter2 = ActuatorStep::ReleaseAll;
        all.m = 0;
        // Whatever waits is outrun by the release.
        m_waiting.clear();
        send(all);
    }
    emit changed();
}

void ActuatorController::selectRow(int row) {
    if (row < 0 || row >= kActuatorCount || row == m_selected)
        return;
    m_selected = row;
    m_stateShown = false;
    if (m_checked)
        send(action(row, ActuatorStep::ReportState));
    emit changed();
}

void ActuatorController::moveTrackBar(int position) {
    if (!m_checked || position < 0 || position > 255)
        return;
    m_trackPosition = position;
    m_stateShown = false;
    ActuatorCommand adjust = action(m_selected, ActuatorStep::Adjust);
    adjust.ControlStatezapros = static_cast<std::uint8_t>(position);
    send(adjust);
    // The first move of a row only sets the mark; a later one to another position shows the override.
    Row &row = m_rows[m_selected];
    if (row.sentPosition && *row.sentPosition != position)
        row.overridden = true;
    row.sentPosition = position;
    emit changed();
}

void ActuatorController::clickIndicator(int row) {
    if (!m_checked || row < 0 || row >= kActuatorCount)
        return;
    m_stateShown = false;
    ActuatorCommand release = action(row, ActuatorStep::ReturnControl);
    release.inputOutputControlParameter2 = row == m_selected ? ActuatorStep::ThenReport : 0;
    m_rows[row].overridden = false;
    send(release);
    emit changed();
}

void ActuatorController::showState() {
    if (!m_built || !m_panelsBuilt || !m_checked)
        return;
    const TECUThread &ecu = m_workers.ecu();
    const QByteArray frame = ecu.DiagnosticInfo.load();
    const QByteArray state = ecu.ControlState.load();
    if (frame.size() != kFastFrameLength || state.isEmpty())
        return;
    if (const std::optional<QString> text = actuatorDisplayedValue(m_selected, state, frame))
        m_valueText = *text;
    if (const std::optional<int> position = actuatorTrackPosition(m_selected, state))
        m_trackPosition = *position;
    m_stateShown = true;
    emit changed();
}

void ActuatorController::send(ActuatorCommand command) {
    command.serial = ++m_serial;
    // A newer move of the track bar for the same actuator makes a waiting one needless.
    if (!m_waiting.empty()) {
        const ActuatorCommand &last = m_waiting.back();
        if (last.inputOutputControlParameter == ActuatorStep::Adjust &&
            command.inputOutputControlParameter == ActuatorStep::Adjust &&
            last.inputOutputLocalIdentifier == command.inputOutputLocalIdentifier)
            m_waiting.pop_back();
    }
    m_waiting.push_back(command);
    handOverWaiting();
}

void ActuatorController::handOverWaiting() {
    if (!m_workers.created()) {
        m_waiting.clear();
        return;
    }
    if (!m_waiting.empty() && m_workers.ecu().Command.submit(EcuCommand::inputOutputControl(m_waiting.front())))
        m_waiting.pop_front();
    if (m_waiting.empty())
        m_retry.stop();
    else if (!m_retry.isActive())
        m_retry.start();
}

} // namespace korvel
