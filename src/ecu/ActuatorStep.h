#pragma once

#include "core/SharedValue.h"
#include "ecu/EcuCommand.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace korvel {

// The worker's side of one actuator action: its own copy of the action's
// fields, advanced by one request per pass of the command loop until the
// action is finished.
class ActuatorStep {
public:
    // Sends one request; true when it was answered.
    using Exchange = std::function<bool(const QByteArray &request)>;

    static constexpr std::uint8_t ReturnControl = 0x00;
    static constexpr std::uint8_t ReportState = 0x01;
    static constexpr std::uint8_t Adjust = 0x07;
    static constexpr std::uint8_t ThenReport = 0xFF; // parameter2: read the state after returning control
    static constexpr std::uint8_t ReleaseAll = 0xEE; // parameter2: return all eight in turn

    // Takes `command` unless it is the action already in progress.
    void take(const ActuatorCommand &command);
    // One pass; true when the action is finished. `ControlState` is emptied
    // whenever the next request is a return of control.
    bool run(const Exchange &exchange, SharedValue<QByteArray> &ControlState);
    // The action is done with (finished or dropped): the next command starts afresh.
    void reset() { m_current.reset(); }

    const std::optional<ActuatorCommand> &current() const { return m_current; }

private:
    std::optional<ActuatorCommand> m_current;
};

} // namespace korvel
