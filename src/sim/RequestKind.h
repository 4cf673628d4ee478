#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace korvel::sim {

// The kinds of request the ECU tells apart; faults and answer header forms
// are chosen per kind.
enum class RequestKind {
    StartCommunication,     // 81
    StopCommunication,      // 82
    StartDiagnosticSession, // 10 ...
    StopDiagnosticSession,  // 20
    TesterPresent,          // 3E ...
    SwitchToRam,            // 30 0F 06 01
    ActuatorControl,        // 30 ... (any other)
    FastFrame,              // 21 0F
    StandardFrame,          // 21 01
    ReadMemory,             // 23 ...
    WriteMemory,            // 3D ...
    Other,
};

inline constexpr int kRequestKindCount = static_cast<int>(RequestKind::Other) + 1;

RequestKind classifyRequest(const QByteArray &data);

// Command-line names: "start-communication", "fast-frame", "read-memory", ...
QString requestKindName(RequestKind kind);
std::optional<RequestKind> requestKindFromName(const QString &name);
const std::array<RequestKind, kRequestKindCount> &allRequestKinds();

} // namespace korvel::sim
