#include "live/MonitorLine.h"

#include "core/Numbers.h"
#include "live/DisplayText.h"

#include <QStringList>

namespace korvel {
namespace {

constexpr int kMonitorIdleFlag = 2;

} // namespace

QString monitorLine(const LiveParameters &p) {
    const std::pair<const char *, QString> fields[] = {
        {"rpm", generalText(p.rpm)},
        {"thr", generalText(p.throttle)},
        {"ect", generalText(p.coolantTemp)},
        {"afr", generalText(p.afrEcu)},
        {"wb", fixedDecimal(p.afrWideband, 2)},
        {"spd", generalText(p.vehicleSpeed)},
        {"ign", generalText(p.ignition)},
        {"inj", generalText(p.injPulse)},
        {"ubat", generalText(p.batteryU)},
        {"load", generalText(p.injectorLoad)},
        {"kpa", fixedDecimal(p.pressure / 10.0, 0)},
        {"idle", QString::number(p.flag(kMonitorIdleFlag))},
        {"knock", QString::number(p.flag(kKnockFlag))},
    };
    QStringList parts;
    for (const auto &[key, value] : fields)
        parts.append(QString::fromLatin1(key) + QLatin1Char('=') + value);
    return parts.join(QLatin1Char(' '));
}

} // namespace korvel
