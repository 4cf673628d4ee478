#include "sim/RequestKind.h"

#include <cstdint>

namespace korvel::sim {

namespace {

struct KindPattern {
    RequestKind kind;
    QByteArray prefix; // data bytes the request starts with
    bool exact;        // the request is exactly the prefix
    const char *name;
};

// Walked in order: the first matching row decides.
const std::array<KindPattern, kRequestKindCount - 1> &patterns() {
    static const std::array<KindPattern, kRequestKindCount - 1> table{{
        {RequestKind::StartCommunication, QByteArray("\x81", 1), true, "start-communication"},
        {RequestKind::StopCommunication, QByteArray("\x82", 1), true, "stop-communication"},
        {RequestKind::StartDiagnosticSession, QByteArray("\x10", 1), false, "start-session"},
        {RequestKind::StopDiagnosticSession, QByteArray("\x20", 1), true, "stop-session"},
        {RequestKind::TesterPresent, QByteArray("\x3E", 1), false, "tester-present"},
        {RequestKind::SwitchToRam, QByteArray("\x30\x0F\x06\x01", 4), true, "switch-to-ram"},
        {RequestKind::ActuatorControl, QByteArray("\x30", 1), false, "actuator"},
        {RequestKind::FastFrame, QByteArray("\x21\x0F", 2), true, "fast-frame"},
        {RequestKind::StandardFrame, QByteArray("\x21\x01", 2), true, "standard-frame"},
        {RequestKind::ReadMemory, QByteArray("\x23", 1), false, "read-memory"},
        {RequestKind::WriteMemory, QByteArray("\x3D", 1), false, "write-memory"},
    }};
    return table;
}

} // namespace

RequestKind classifyRequest(const QByteArray &data) {
    for (const KindPattern &p : patterns())
        if (p.exact ? data == p.prefix : data.startsWith(p.prefix))
            return p.kind;
    return RequestKind::Other;
}

QString requestKindName(RequestKind kind) {
    for (const KindPattern &p : patterns())
        if (p.kind == kind)
            return QString::fromLatin1(p.name);
    return QStringLiteral("other");
}

std::optional<RequestKind> requestKindFromName(const QString &name) {
    for (RequestKind kind : allRequestKinds())
        if (requestKindName(kind).compare(name, Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

const std::array<RequestKind, kRequestKindCount> &allRequestKinds() {
    static const std::array<RequestKind, kRequestKindCount> kinds{RequestKind::StartCommunication,
                                                                  RequestKind::StopCommunication,
                                                                  RequestKind::StartDiagnosticSession,
                                                                  RequestKind::StopDiagnosticSession,
                                                                  RequestKind::TesterPresent,
                                                                  RequestKind::SwitchToRam,
                                                                  RequestKind::ActuatorControl,
                                                                  RequestKind::FastFrame,
                                                                  RequestKind::StandardFrame,
                                                                  RequestKind::ReadMemory,
                                                                  RequestKind::WriteMemory,
                                                                  RequestKind::Other};
    return kinds;
}

} // namespace korvel::sim
