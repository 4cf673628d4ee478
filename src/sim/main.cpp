// korvel-sim: the simulated ECU and wideband controller as a stand-alone tool.
#include "sim/CommandLine.h"
#include "sim/Simulator.h"

#include <QStringList>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>

#include <pthread.h>

namespace {

using namespace korvel::sim;

void printLine(const QString &line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

TraceSink timestampedTrace() {
    const auto start = std::chrono::steady_clock::now();
    return [start](const QString &line) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printLine(QStringLiteral("[%1] %2").arg(seconds, 9, 'f', 3).arg(line));
    };
}

QString deviceLine(const QString &label, const QString &path, const QString &link, const QString &details) {
    QStringList notes;
    if (!link.isEmpty())
        notes << QStringLiteral("link %1").arg(link);
    if (!details.isEmpty())
        notes << details;
    return QStringLiteral("%1 %2%3").arg(
        label, path, notes.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(notes.join(QStringLiteral("; "))));
}

} // namespace

int main(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    std::optional<CommandLineSettings> settings = parseCommandLine(arguments, &error);
    if (!settings) {
        std::fprintf(stderr, "korvel-sim: %s\nTry korvel-sim --help.\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (settings->help) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (settings->verbosity > 0)
        settings->options.trace = timestampedTrace();

    // The signals are taken by sigwait below; every thread started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const SimulatorOptions &o = settings->options;
    Simulator simulator(o);
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "korvel-sim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    printLine(deviceLine(QStringLiteral("ECU device:     "), simulator.ecuDevicePath(), o.ecuLinkPath,
                         QStringLiteral("%1 protocol, starts at 10400 baud")
                             .arg(o.protocol == Protocol::Fast ? QStringLiteral("fast") : QStringLiteral("standard"))));
    if (o.wideband != WidebandType::None)
        printLine(deviceLine(
            QStringLiteral("Wideband device:"), simulator.lambdaDevicePath(), o.lambdaLinkPath,
            QStringLiteral("%1, %2 baud").arg(widebandTypeName(o.wideband)).arg(widebandProfile(o.wideband).baud)));
    else
        printLine(QStringLiteral("Wideband device: none"));
    printLine(QStringLiteral("Set \"Ecu com\" and \"LC-1 Com\" to these paths. Stop with Ctrl+C."));

    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.stop();
    printLine(QStringLiteral("korvel-sim stopped (%1).")
                  .arg(received == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
    return 0;
}
