#pragma once

#include "core/Protocol.h"

#include <QByteArray>
#include <QList>
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
    // Table writes into ECU RAM; what they write travels in the command.
    remake,             // one cell: `data` at `adressdata`, and the four-point marker unless `LSUenable`
    remake_four_points, // the 18 bytes of a four-point cell at `adressdata`
    correct1DF,         // `data` at `adressdata` with the length byte `numdatastr`
    correct23DF,        // `plusrw` 64-byte blocks of `data2` from `adressdata` upward
    remakegbc,          // the 256 bytes of `data` at `decgbc`, two blocks per pass (counter A)
    remakepopr,         // the 256 bytes of `data` at `decpopr`, one block per pass (counter A)
    remakeuoz,          // the 256 bytes of `data` at the ignition table 6DC8, two blocks per pass (counter B)
    rewritetabl,        // the tuning tables of `tables`, each whole, in the fixed order
    RewriteDR,          // the throttle correction table: `data2` at `adressdata`
    // one actuator action (service 0x30)
    InputOutputControl,
};

// The K-line link a connect uses; the worker keeps the last one it opened.
struct EcuLinkSettings {
    QString port;  // empty: "COM1"
    QString speed; // session rate as the setting gives it; empty: "57600"
    Protocol protocol = Protocol::Fast;
    int portTimeOut = 0;       // ms before each request
    int portReadTimeOut = 0;   // ms between sending and reading; 0 means 160
    bool verifyWrites = false; // "Проверять запись": every table block written is read back
    // A read ends as soon as the echo and one whole answer frame are in;
    // portReadTimeOut only bounds it. Off: every read waits portReadTimeOut.
    bool fastExchange = false;
};

// One 16 x 16 tuning table for "rewritetabl": its address set column (which
// says its place in the order and its log line), its address and its bytes.
struct EcuTable {
    int column = 0;
    int adressdata = 0;
    QByteArray data2{}; // 256 bytes
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
// Addresses are ECU addresses 0000-FFFF; byte strings hold one byte per element.
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

    // Table writes (see the kinds above for which each one uses).
    int adressdata = 0;       // target address
    QByteArray data{};        // bytes of short writes; the 256 table bytes of the counter-driven writes
    int numdatastr = 0;       // length byte sent with "correct1DF"
    int delta = 0;            // address of the four-point marker byte ("remake")
    bool LSUenable = true;    // false: "remake" also writes the marker 0x80 at `delta`
    QByteArray data2{};       // whole 64-byte blocks for the block writer
    int plusrw = 0;           // number of 64-byte blocks of `data2` ("correct23DF")
    int decgbc = 0;           // base-filling table start ("remakegbc")
    int decpopr = 0;          // correction table start ("remakepopr")
    QList<EcuTable> tables{}; // "rewritetabl"

    // InputOutputControl only
    ActuatorCommand actuator;

    // Given by the pending-command slot as the command is handed over.
    std::uint64_t serial = 0;
};

} // namespace korvel
