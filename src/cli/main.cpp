// korvel-cli: the program's session without a window.
#include "app/Session.h"
#include "cli/LogCommand.h"
#include "cli/MapCommand.h"
#include "cli/MonitorCommand.h"
#include "cli/MonitorOptions.h"
#include "cli/TuneCommand.h"
#include "core/StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <csignal>

namespace {

using namespace korvel::cli;

int printSettings(const QString &workDir, QTextStream &out) {
    korvel::Session session(workDir);
    if (!session.startUp()) {
        for (const QString &line : session.log().lines())
            out << line << '\n';
        return 1;
    }
    for (int row = 0; row < session.settings().count(); ++row) {
        const QString name = session.settings().nameAt(row);
        out << name << '=' << session.settings().value(name) << '\n';
    }
    return 0;
}

int monitor(const QString &workDir, const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const MonitorCommandLine commandLine = parseMonitorOptions(arguments);
    if (commandLine.help) {
        out << monitorHelpText();
        return 0;
    }
    if (!commandLine.options) {
        err << "korvel-cli monitor: " << commandLine.error << "\nTry 'korvel-cli monitor --help'.\n";
        return kExitUsage;
    }
    // A reader that closes the pipe (| head) must not kill the run before its CSV log is written.
    std::signal(SIGPIPE, SIG_IGN);
    MonitorCommand command(workDir, *commandLine.options, out, err);
    korvel::StopSignals stopSignals;
    QObject::connect(&stopSignals, &korvel::StopSignals::received, &command,
                     [&command](int signal) { command.requestStop(korvel::StopSignals::name(signal)); });
    return command.run();
}

// `read-firmware [monitor's options] OUT`: connects as monitor does, reads the
// ECU's firmware into OUT and exits 0 only when OUT holds the whole image.
int readFirmware(const QString &workDir, const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const QString file = arguments.isEmpty() ? QString() : arguments.last();
    MonitorCommandLine commandLine = parseMonitorOptions(arguments.mid(0, arguments.size() - 1));
    if (file.isEmpty() || file.startsWith(QLatin1Char('-')) || !commandLine.options) {
        err << "korvel-cli read-firmware: "
            << (commandLine.options ? QStringLiteral("the output file is missing") : commandLine.error)
            << "\nUsage: korvel-cli read-firmware [monitor's options] OUT\n";
        return kExitUsage;
    }
    commandLine.options->seconds.reset(); // the read decides when the run ends
    commandLine.options->firmwareOut = file;
    std::signal(SIGPIPE, SIG_IGN);
    MonitorCommand command(workDir, *commandLine.options, out, err);
    korvel::StopSignals stopSignals;
    QObject::connect(&stopSignals, &korvel::StopSignals::received, &command,
                     [&command](int signal) { command.requestStop(korvel::StopSignals::name(signal)); });
    return command.run();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Korvel Online without a window.\n\n"
                       "Commands:\n"
                       "  settings   print the settings list as the program reads it from config.ini\n"
                       "  monitor    connect to the ECU and print the program log and live values\n"
                       "             until a time or Ctrl+C (korvel-cli monitor --help for its options)\n"
                       "  read-firmware [options] OUT\n"
                       "             connect as monitor does (same options), read the ECU's firmware\n"
                       "             into the file OUT and exit; 0 only when OUT holds the whole image\n"
                       "  map        dump or build a calibration map (korvel-cli map --help)\n"
                       "  tune --simulate MINUTES\n"
                       "             tune a simulated ECU on a virtual clock and print how the mixture\n"
                       "             error falls (korvel-cli tune --help)\n"
                       "  tune --replay LOG --firmware FW.bin --out OUT.bin\n"
                       "             tune FW.bin from a recorded drive's CSV log into OUT.bin\n"
                       "  log table LOG --quantity NAME | log export LOG --format msl OUT.msl\n"
                       "             a logged quantity per tuning cell, or the log for log viewers\n"
                       "             (korvel-cli log --help)"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption workDir(QStringList{QStringLiteral("C"), QStringLiteral("workdir")},
                               QStringLiteral("Working folder holding config.ini (default: the current folder)."),
                               QStringLiteral("folder"), QDir::currentPath());
    parser.addOption(workDir);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("settings, monitor, read-firmware, map, tune or log"));
    // Everything after the command is the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "korvel-cli: " << parser.errorText() << "\nTry 'korvel-cli --help'.\n";
        return kExitUsage;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QStringLiteral("settings") && args.size() == 1)
        return printSettings(parser.value(workDir), out);
    if (command == QStringLiteral("monitor"))
        return monitor(parser.value(workDir), args.mid(1), out, err);
    if (command == QStringLiteral("read-firmware"))
        return readFirmware(parser.value(workDir), args.mid(1), out, err);
    if (command == QStringLiteral("map"))
        return runMapCommand(args.mid(1), out, err);
    if (command == QStringLiteral("log"))
        return runLogCommand(args.mid(1), out, err);
    if (command == QStringLiteral("tune"))
        return runTuneCommand(args.mid(1), out, err, parser.value(workDir));
    const QString problem = command.isEmpty() ? QStringLiteral("no command given")
                                              : QStringLiteral("unknown command '%1'").arg(args.join(' '));
    err << "korvel-cli: " << problem << "\n\n";
    err.flush();
    parser.showHelp(kExitUsage);
}
