#pragma once

#include "core/SharedValue.h"
#include "ecu/EcuCommand.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace korvel {

// The worker's side of one actuator action: its own copy of the action's
// fields, advanced by one request per pass of the command loop until the
// action is finished. It also remembers which actuators are imposed on the
// ECU, so that every way out of the actuator controls can hand them back.
class ActuatorStep {
public:
    // Sends one request; true when it was answered.
    using Exchange = std::function<bool(const QByteArray &request)>;

    static constexpr std::uint8_t ReturnControl = 0x00;
    static constexpr std::uint8_t ReportState = 0x01;
    static constexpr std::uint8_t Adjust = 0x07;
    static constexpr std::uint8_t ThenReport = 0xFF; // parameter2: read the state after returning control
    static constexpr std::uint8_t ReleaseAll = 0xEE; // parameter2: return all eight in turn
    // A return of control counts only when the ECU answered it; an unanswered
    // one is sent again, up to this many requests in all.
    static constexpr int ReleaseAttempts = 3;

    // Takes `command` unless it is the action already in progress.
    void take(const ActuatorCommand &command);
    // One pass; true when the action is finished. `ControlState` is emptied
    // whenever the next request is a return of control.
    bool run(const Exchange &exchange, SharedValue<QByteArray> &ControlState);
    // The action is done with (finished or dropped): the next command starts afresh.
    void reset() { m_current.reset(); }

    // Hands back every actuator still imposed, then reads each back. The rows
    // (of the actuator table) that stay forced.
    QList<int> releaseForced(const Exchange &exchange, SharedValue<QByteArray> &ControlState);
    // Rows the last finished action could not hand back.
    const QList<int> &stuckRows() const { return m_stuck; }
    // Actuators imposed and not handed back: local identifier → value imposed.
    const std::map<std::uint8_t, std::uint8_t> &forced() const { return m_forced; }

    const std::optional<ActuatorCommand> &current() const { return m_current; }

private:
    // Returns control of each row of `rows`, each release repeated until
    // answered (ReleaseAttempts at most); then reads back each that was
    // imposed. Rows that stay forced go to m_stuck.
    // Without `readBack` the action's own report that follows does the reading.
    void release(const QList<int> &rows, const Exchange &exchange, SharedValue<QByteArray> &ControlState,
                 bool readBack = true);
    void judge(int row, std::uint8_t imposed, const QByteArray &state);

    std::optional<ActuatorCommand> m_current;
    std::map<std::uint8_t, std::uint8_t> m_forced;
    QList<int> m_stuck;
    std::optional<std::pair<int, std::uint8_t>> m_check; // released row and its value, judged by the next report
};

} // namespace korvel
