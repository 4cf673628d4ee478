#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace korvel::cli {

// Exit statuses of korvel-cli.
enum ExitStatus : int {
    kExitPolled = 0,    // the session started and diagnostic polling ran
    kExitNotPolled = 1, // it never polled (missing files, port, answer) or its CSV log is incomplete
    kExitUsage = 2,     // a bad command line
};

// What `korvel-cli monitor` was asked to do.
struct MonitorOptions {
    // Settings changed for this run only, applied in this order (config.ini stays as it is).
    std::vector<std::pair<QString, QString>> overrides;
    // How long to monitor once polling runs; none: until SIGINT or SIGTERM.
    std::optional<int> seconds;
    // How long the connect may take before the run gives up.
    int connectTimeoutSeconds = 60;
    // Print one line of the main values per processed frame.
    bool live = false;
    // Once polling runs: write the loaded firmware's tables into the ECU's RAM
    // and start automatic tuning, as "Автоматическая настройка таблиц" does.
    bool tune = false;
    // `korvel-cli read-firmware OUT`: once polling runs, read the ECU's firmware
    // into this file and stop; the run succeeds only when the file is written.
    QString firmwareOut;
};

struct MonitorCommandLine {
    std::optional<MonitorOptions> options; // none: `error` says why, or help was asked for
    QString error;
    bool help = false;
};

// Parses the arguments that follow the word "monitor". The dedicated options
// (--ecu, --speed, ...) come after every --set, so they win over a --set of the
// same setting.
MonitorCommandLine parseMonitorOptions(const QStringList &arguments);

// The text of `korvel-cli monitor --help`.
QString monitorHelpText();

} // namespace korvel::cli
