// korvel-cli: the program's session without a window.
#include "app/Session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

int printSettings(korvel::Session &session, QTextStream &out) {
    if (!session.startUp()) {
        for (const QString &line : session.log.lines())
            out << line << '\n';
        return 1;
    }
    for (int row = 0; row < session.settings.count(); ++row) {
        const QString name = session.settings.nameAt(row);
        out << name << '=' << session.settings.value(name) << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Korvel Online without a window.\n\n"
        "Commands:\n"
        "  settings   print the settings list as the program reads it from config.ini"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption workDir(QStringList{QStringLiteral("C"), QStringLiteral("workdir")},
                               QStringLiteral("Working folder holding config.ini (default: the current folder)."),
                               QStringLiteral("folder"), QDir::currentPath());
    parser.addOption(workDir);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("settings"));
    parser.process(app);

    QTextStream out(stdout);
    const QStringList args = parser.positionalArguments();
    korvel::Session session(parser.value(workDir));
    if (args.value(0) == QStringLiteral("settings"))
        return printSettings(session, out);
    parser.showHelp(2);
}
