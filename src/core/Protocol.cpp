#include "core/Protocol.h"

#include "core/SettingNames.h"

namespace korvel {

std::optional<Protocol> protocolFromSetting(const QString &value) {
    if (value == setting::FastProtocol)
        return Protocol::Fast;
    if (value == setting::StandardProtocol)
        return Protocol::Standard;
    return std::nullopt;
}

QString protocolSettingText(Protocol protocol) {
    return protocol == Protocol::Fast ? setting::FastProtocol : setting::StandardProtocol;
}

} // namespace korvel
