#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvel::sim {

enum class WidebandType { None, Innovate, Aem, Korvel, Alc1, Apsx };

// What a controller of each type sends and how fast.
struct WidebandProfile {
    WidebandType type;
    const char *name; // as the program's setting names it: "Innovate", "AEM", "Korvel", "ALC-1", "APSX"
    int baud;
    double intervalMs; // one message every ...
};

const WidebandProfile &widebandProfile(WidebandType type);
// Accepts the names above (any letter case) and "none".
std::optional<WidebandType> widebandTypeFromName(const QString &name);
QString widebandTypeName(WidebandType type);

// The controller's state. Innovate reports every state in its packets; the
// other types send nothing until their sensor is ready.
enum class WidebandStatus { Valid, WarmingUp, Error };

// One message for the measured air/fuel ratio. `warmupFraction` (0 to 1) is
// the sensor heater's progress while warming up.
QByteArray encodeWidebandMessage(WidebandType type, double afr, WidebandStatus status, double warmupFraction = 0);

// The mixture an Innovate lambda word carries: lambda = 0.5 + L / 1000.
int innovateLambdaWord(double afr);

} // namespace korvel::sim
