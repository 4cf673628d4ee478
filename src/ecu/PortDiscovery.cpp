#include "ecu/PortDiscovery.h"

#include "core/ProgramLog.h"
#include "core/SettingsList.h"
#include "ecu/EcuTexts.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace korvel {

namespace {
constexpr int kLongestComName = 5;
const QString kComPrefix = QStringLiteral("COM");
const QString kDeviceFolder = QStringLiteral("/dev/");

// A bare name ("ttyUSB0") is looked up among the devices; a path as written.
bool namedDeviceExists(const QString &name) {
    if (name.isEmpty())
        return false;
    if (name.contains(QLatin1Char('/')))
        return QFileInfo::exists(name);
    return QFileInfo::exists(kDeviceFolder + name);
}
} // namespace

QStringList selectComPorts(const QStringList &deviceNames) {
    QStringList ports;
    for (const QString &name : deviceNames)
        if (name.size() <= kLongestComName && name.startsWith(kComPrefix, Qt::CaseInsensitive))
            ports.append(name);
    return ports;
}

QStringList collectSerialPorts(const QStringList &systemPorts, const QStringList &configuredPorts,
                               const std::function<bool(const QString &)> &deviceExists) {
    QStringList ports = systemPorts;
    for (const QString &name : configuredPorts)
        if (!name.isEmpty() && !ports.contains(name) && deviceExists(name))
            ports.append(name);
    return ports;
}

PortDiscovery DiscoverPorts(const QStringList &configuredPorts) {
    QStringList systemPorts;
    const auto available = QSerialPortInfo::availablePorts();
#ifdef Q_OS_WIN
    for (const QSerialPortInfo &info : available)
        systemPorts.append(info.portName());
    return {selectComPorts(systemPorts), false};
#else
    for (const QSerialPortInfo &info : available)
        systemPorts.append(info.systemLocation());
    return {collectSerialPorts(systemPorts, configuredPorts, namedDeviceExists), false};
#endif
}

DiscoveryVerdict judgeDiscovery(const PortDiscovery &discovery) {
    if (discovery.listFailed)
        return {ecutext::NoPortList, 1};
    if (discovery.PortList.isEmpty())
        return {ecutext::NoComPorts, 1};
    return {};
}

int publishDiscovery(const PortDiscovery &discovery, SettingsList &settings, ProgramLog &log) {
    for (const QString &port : discovery.PortList)
        settings.addPortChoice(port);
    const DiscoveryVerdict verdict = judgeDiscovery(discovery);
    if (!verdict.message.isEmpty())
        log.append(verdict.message);
    return verdict.ErrorComPorts;
}

} // namespace korvel
