#pragma once

#include "sim/SimulatorOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel::sim {

struct CommandLineSettings {
    SimulatorOptions options;
    bool help = false;
    int verbosity = 0; // 1: every ECU frame; 2: also every wideband message
};

// Reads korvel-sim's arguments (the first one is the program name). Empty,
// with the reason, when an argument is wrong.
std::optional<CommandLineSettings> parseCommandLine(const QStringList &arguments, QString *error);

// The text of korvel-sim --help.
QString helpText();

} // namespace korvel::sim
