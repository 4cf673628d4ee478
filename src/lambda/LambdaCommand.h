#pragma once

#include <QString>

namespace korvel {

// What the window asks of the lambda worker, and the worker's own state.
enum class LambdaCommandKind {
    OpenComPort,  // open the controller's port; reception follows
    CloseComPort, // close the port
    Receive,      // continuous reception, left pending by the worker
};

// The controller's port as the window chooses it; the type sets the rate.
struct LambdaLinkSettings {
    QString port;
    QString type;     // "Innovate", "AEM", "Korvel", "ALC-1", "APSX"
    int parity = 2;   // 0 even, 1 odd, 2 none, 3 mark, 4 space
    int byteSize = 8; // data bits
    int stopBits = 0; // 0 one, 1 one and a half, 2 two
};

// One command and its parameters, handed to the worker whole.
struct LambdaCommand {
    LambdaCommandKind kind = LambdaCommandKind::OpenComPort;
    LambdaLinkSettings link; // OpenComPort and Receive
};

} // namespace korvel
