#pragma once

#include <QString>

#include <optional>

namespace korvel {

// The two exchange protocols: the fast one ("kvl") reads and writes ECU
// memory as well; the standard one only polls diagnostic frames.
enum class Protocol { Fast, Standard };

// The protocol chosen by the setting "Протокол обмена" ("kvl" or "стандартный").
std::optional<Protocol> protocolFromSetting(const QString &value);
// The setting's text for a protocol.
QString protocolSettingText(Protocol protocol);

} // namespace korvel
