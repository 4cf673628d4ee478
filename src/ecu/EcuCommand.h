#pragma once

#include "core/Protocol.h"

#include <QString>

#include <cstdint>
#include <utility>

namespace korvel {

// What the window asks of the ECU worker.
enum class EcuCommandKind {
    OpenComPort,   // open the port, start the session, poll
    CloseComPort,  // end the session, close the port
    DiagnosticECU, // one diagnostic frame request
    ReadFW,        // read the whole 64 KB firmware image
    // one actuator action (service 0x30)
    InputOutputControl,
};

// The K-line link a connect uses; the worker keeps the last one it opened.
struct EcuLinkSettings {
    QString port;  // empty: "COM1"
    QString speed; // session rate as the setting gives it; empty: "57600"
    Protocol protocol = Protocol::Fast;
    int portTimeOut = 0;     // ms before each request
    int portReadTimeOut = 0; // ms between sending and reading; 0 means 160
};

// One actuator action, as the window asks for it; the worker advances its own
// copy from pass to pass. `serial` tells a new action from the one in progress.
struct ActuatorCommand {
    std::uint8_t inputOutputLocalIdentifier = 0;
    std::uint8_t inputOutputControlParameter = 0;  // 0x00 return control, 0x01 report state, 0x07 impose
    std::uint8_t inputOutputControlParameter2 = 0; // after 0x00: 0 none, 0xFF report state, 0xEE release all
    std::uint8_t ControlStatezapros = 0;           // value imposed with 0x07
    int m = 0;                                     // row being released in the release-all sweep
    std::uint32_t serial = 0;
};

// One command and its parameters, handed to the worker whole. Memory services
// add their kinds and parameters here, and their rows to the command table.
struct EcuCommand {
    EcuCommand() = default;
    // Not explicit: commands are written {kind, link}.
    EcuCommand(EcuCommandKind kind, EcuLinkSettings link = {}) : kind(kind), link(std::move(link)) {}
    static EcuCommand inputOutputControl(const ActuatorCommand &actuator) {
        EcuCommand command(EcuCommandKind::InputOutputControl);
        command.actuator = actuator;
        return command;
    }

    EcuCommandKind kind = EcuCommandKind::OpenComPort;
    EcuLinkSettings link; // OpenComPort only
    // InputOutputControl only
    ActuatorCommand actuator;
};

} // namespace korvel
