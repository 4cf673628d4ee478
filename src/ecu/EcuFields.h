#pragma once

#include "core/SharedValue.h"
#include "ecu/EcuCommand.h"
#include "ecu/PendingCommand.h"
#include "firmware/Complectation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>

namespace korvel {

inline constexpr int kAxisValues = 512;

// The ECU worker's fields, shared by the UI thread and the worker. The window
// hands over one command with its parameters; the worker publishes flags,
// counters and results here.
struct EcuFields {
    // Window → worker.
    PendingCommand<EcuCommand> Command;

    // The link the worker opened last (its port, for logs and the status bar),
    // and the timeouts in use: closing the session shortens them.
    SharedValue<QString> PortName;
    std::atomic<int> PortTimeOut{0};     // ms before each request
    std::atomic<int> PortReadTimeOut{0}; // ms between sending and reading; 0 means 160

    // Link state, written by the worker (and ErrorComPorts by discovery).
    std::atomic<int> IsComConnected{0};
    std::atomic<int> IsECUConnected{0};
    std::atomic<int> IsDiagnostic{0};
    std::atomic<int> ErrorComPorts{0};
    std::atomic<int> error{0};            // link error counter, reset by the window at connect
    std::atomic<int> numlog{0};           // diagnostic requests issued
    std::atomic<int> diagnosticFrames{0}; // diagnostic answers accepted; the rest of numlog were rejected

    // Results.
    SharedValue<QByteArray> DiagnosticInfo; // latest diagnostic frame, one byte per element
    std::atomic<bool> MemoryAccessReady{false};
    SharedValue<QByteArray> ReadRam;
    SharedValue<QByteArray> ControlState; // actuator state bytes of the last 0x30 answer
    std::atomic<int> forcedActuators{0};
    // A table write in progress: blocks written of all (0 of 0 when none runs).
    std::atomic<int> writeBlocksDone{0};
    std::atomic<int> writeBlocksTotal{0}; // actuators imposed on the ECU and not handed back

    // Identification of the connected ECU.
    SharedValue<QString> komplectecu; // 22 hex digits of the eleven complectation bytes
    SharedValue<QStringList> komplectecu_b{QStringList(kComplectationBytes, QString())};
    SharedValue<QVector<int>> axix{QVector<int>(kAxisValues, 0)};
    SharedValue<QString> SWID; // CRC of the identification block, 8 hex digits

    bool isConnected() const { return IsECUConnected.load() == 1 && IsComConnected.load() == 1; }
};

} // namespace korvel
