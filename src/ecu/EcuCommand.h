#pragma once

#include "core/Protocol.h"

#include <QString>

namespace korvel {

// What the window asks of the ECU worker.
enum class EcuCommandKind {
    OpenComPort,   // open the port, start the session, poll
    CloseComPort,  // end the session, close the port
    DiagnosticECU, // one diagnostic frame request
    ReadFW,        // read the whole 64 KB firmware image
};

// The K-line link a connect uses; the worker keeps the last one it opened.
struct EcuLinkSettings {
    QString port;  // empty: "COM1"
    QString speed; // session rate as the setting gives it; empty: "57600"
    Protocol protocol = Protocol::Fast;
    int portTimeOut = 0;     // ms before each request
    int portReadTimeOut = 0; // ms between sending and reading; 0 means 160
    // A read ends as soon as the echo and one whole answer frame are in;
    // portReadTimeOut only bounds it. Off: every read waits portReadTimeOut.
    bool fastExchange = false;
};

// One command and its parameters, handed to the worker whole. Memory services
// add their kinds and parameters here, and their rows to the command table.
struct EcuCommand {
    EcuCommandKind kind = EcuCommandKind::OpenComPort;
    EcuLinkSettings link; // OpenComPort only
};

} // namespace korvel
