#pragma once

#include "ecu/EcuCommand.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace korvel {

// How one request/answer exchange on the K-line ended.
enum class ExchangeStatus {
    Done,        // the answer was accepted
    NoAnswer,    // nothing came back after the echo (or not even the echo)
    WrongAnswer, // an answer the check refused, or an echo that is not the request
    PortClosed,  // the port was not open
    PortLost,    // the device went away during the exchange; the port is closed
    Stopped,     // the worker was asked to stop
};

// How a connect ("OpenComPort") ended, handed to the UI thread once per connect.
enum class EcuConnectOutcome {
    Polling,              // the session runs and diagnostic polling has started
    AlreadyOpen,          // the port was open already; nothing was done
    PortNotOpened,        // the port could not be opened (or no port was found at all)
    BadSpeed,             // the ECU does not offer the chosen rate; the port is closed
    NoAnswer,             // a session request got no answer; the port stays open
    WrongAnswer,          // a session request got a refused answer; the port stays open
    IdentificationFailed, // fast protocol: the identification read failed; no polling
    ClearFailed,          // fast protocol: clearing the correction marker area went astray
    PortLost,             // the device went away during the connect; the port is closed
    Stopped,              // the worker was asked to stop before the connect finished
};

// The result of a memory read: the data bytes (empty unless `status` is Done).
struct EcuReadResult {
    int address = 0;
    QByteArray bytes;
    ExchangeStatus status = ExchangeStatus::Done;
};

// How a table-write command went, handed to the UI thread when it ends (and,
// for "rewritetabl" on a connected link, once more when it starts: the
// firmware buttons wait for the rewrite).
struct EcuWriteResult {
    EcuCommandKind command = EcuCommandKind::remake;
    bool finished = true;  // false: the notice that "rewritetabl" has started
    int requests = 0;      // write requests sent, retries included
    bool verified = false; // every block was read back ("Проверять запись")
    QList<int>
        failedAddresses; // blocks not written: refused, unanswered, still differing after their one retry, or dropped
    QStringList failedTables; // "rewritetabl": the tables (by name) with a failed block
    bool failed() const { return !failedAddresses.isEmpty(); }
};

// How a firmware read ("ReadFW") ended, handed to the UI thread once per read.
struct FirmwareReadResult {
    QByteArray image; // all 65536 bytes when complete, else empty
    bool complete = false;
    int failedAddress = -1; // the block that got no answer; -1 when the read never started
};

// The connect outcome of a session request that failed with `status`.
constexpr EcuConnectOutcome connectOutcomeOf(ExchangeStatus status) {
    switch (status) {
    case ExchangeStatus::NoAnswer:
        return EcuConnectOutcome::NoAnswer;
    case ExchangeStatus::PortClosed:
    case ExchangeStatus::PortLost:
        return EcuConnectOutcome::PortLost;
    case ExchangeStatus::Stopped:
        return EcuConnectOutcome::Stopped;
    case ExchangeStatus::Done:
    case ExchangeStatus::WrongAnswer:
        break;
    }
    return EcuConnectOutcome::WrongAnswer;
}

} // namespace korvel
