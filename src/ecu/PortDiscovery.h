#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace korvel {

class ProgramLog;
class SettingsList;

// The serial ports found at start-up, in the order the system lists them.
struct PortDiscovery {
    QStringList PortList;
    bool listFailed = false; // the system could not give its device list
};

// The Windows form: of all device names take those beginning with "COM" (any
// letter case) and at most 5 characters long (COM1 to COM99).
QStringList selectComPorts(const QStringList &deviceNames);

// Another system's form: the serial devices it reports (their locations, such
// as /dev/ttyUSB0), then each configured port that names an existing device
// and is not listed yet (a full path, a /dev/serial/by-id name, a pseudo-terminal).
QStringList collectSerialPorts(const QStringList &systemPorts, const QStringList &configuredPorts,
                               const std::function<bool(const QString &)> &deviceExists);

// Asks the system. `configuredPorts`: the values of "Ecu com" and "LC-1 Com".
PortDiscovery DiscoverPorts(const QStringList &configuredPorts);

// The line to log for a discovery result (empty when ports were found) and
// the value of the ECU worker's ErrorComPorts.
struct DiscoveryVerdict {
    QString message;
    int ErrorComPorts = 0;
};
DiscoveryVerdict judgeDiscovery(const PortDiscovery &discovery);

// The window's discovery: offers every port in the two port settings, logs
// the failure line, and returns ErrorComPorts for the ECU worker.
int publishDiscovery(const PortDiscovery &discovery, SettingsList &settings, ProgramLog &log);

} // namespace korvel
