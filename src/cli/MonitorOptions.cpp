#include "cli/MonitorOptions.h"

#include "core/SettingNames.h"
#include "lambda/WidebandParsers.h"

#include <QCommandLineParser>

#include <algorithm>

namespace korvel::cli {
namespace {

using Check = std::optional<QString> (*)(const QString &value);

std::optional<QString> anyPort(const QString &value) {
    return value.trimmed().isEmpty() ? std::nullopt : std::optional(value);
}

// The setting's own names, and the ASCII names the simulator uses as well.
std::optional<QString> protocolName(const QString &value) {
    if (value == setting::FastProtocol || value == QLatin1String("fast"))
        return setting::FastProtocol;
    if (value == setting::StandardProtocol || value == QLatin1String("standard"))
        return setting::StandardProtocol;
    return std::nullopt;
}

// The rates the ECU can switch to.
std::optional<QString> ecuSpeed(const QString &value) {
    for (const SettingDefinition &definition : settingDefinitions())
        if (definition.name == setting::EcuSpeed && definition.pickList.contains(value))
            return value;
    return std::nullopt;
}

std::optional<QString> sensorType(const QString &value) {
    if (value == setting::Narrowband || widebandType(value) != nullptr)
        return value;
    return std::nullopt;
}

// An option that sets one setting for the run.
struct SettingOption {
    const char *name;
    const QString &setting;
    Check check;
    const char *valueName;
    const char *expected; // for the error message
};

const SettingOption kSettingOptions[] = {
    {"ecu", setting::EcuCom, anyPort, "port", "a device path"},
    {"lambda", setting::LambdaCom, anyPort, "port", "a device path"},
    {"protocol", setting::Protocol, protocolName, "name", "kvl (or fast) or стандартный (or standard)"},
    {"speed", setting::EcuSpeed, ecuSpeed, "baud", "10400, 38400 or 57600"},
    {"sensor", setting::OxygenSensor, sensorType, "type", "Innovate, AEM, Korvel, ALC-1, APSX or УДК"},
};

const QString kSet = QStringLiteral("set");
const QString kSeconds = QStringLiteral("seconds");
const QString kConnectTimeout = QStringLiteral("connect-timeout");
const QString kLive = QStringLiteral("live");
const QString kTune = QStringLiteral("tune");
const QString kHelp = QStringLiteral("help");

// Digits only, at least one second.
std::optional<int> positiveSeconds(const QString &text) {
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional(value) : std::nullopt;
}

MonitorCommandLine usageError(const QString &text) {
    MonitorCommandLine result;
    result.error = text;
    return result;
}

} // namespace

MonitorCommandLine parseMonitorOptions(const QStringList &arguments) {
    QCommandLineParser parser;
    for (const SettingOption &option : kSettingOptions)
        parser.addOption({QString::fromLatin1(option.name), QString(), QString::fromLatin1(option.valueName)});
    parser.addOption({kSet, QString(), QStringLiteral("name=value")});
    parser.addOption({kSeconds, QString(), QStringLiteral("n")});
    parser.addOption({kConnectTimeout, QString(), QStringLiteral("n")});
    parser.addOption({kLive, QString()});
    parser.addOption({kTune, QString()});
    parser.addOption({{QStringLiteral("h"), kHelp}, QString()});
    if (!parser.parse(QStringList{QStringLiteral("monitor")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(kHelp)) {
        MonitorCommandLine result;
        result.help = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    MonitorOptions options;
    for (const QString &assignment : parser.values(kSet)) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        const QString name = assignment.left(equals).trimmed();
        if (equals < 0 || name.isEmpty())
            return usageError(QStringLiteral("--set needs NAME=VALUE, not '%1'").arg(assignment));
        options.overrides.emplace_back(name, assignment.mid(equals + 1));
    }
    for (const SettingOption &option : kSettingOptions) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name);
        const std::optional<QString> accepted = option.check(value);
        if (!accepted)
            return usageError(
                QStringLiteral("--%1 takes %2, not '%3'").arg(name, QString::fromUtf8(option.expected), value));
        options.overrides.emplace_back(option.setting, *accepted);
    }
    if (parser.isSet(kSeconds)) {
        options.seconds = positiveSeconds(parser.value(kSeconds));
        if (!options.seconds)
            return usageError(
                QStringLiteral("--seconds takes a positive whole number, not '%1'").arg(parser.value(kSeconds)));
    }
    if (parser.isSet(kConnectTimeout)) {
        const std::optional<int> timeout = positiveSeconds(parser.value(kConnectTimeout));
        if (!timeout)
            return usageError(QStringLiteral("--connect-timeout takes a positive whole number, not '%1'")
                                  .arg(parser.value(kConnectTimeout)));
        options.connectTimeoutSeconds = *timeout;
    }
    options.live = parser.isSet(kLive);
    options.tune = parser.isSet(kTune);
    MonitorCommandLine result;
    result.options = options;
    return result;
}

QString monitorHelpText() {
    return QStringLiteral("Usage: korvel-cli [-C folder] monitor [options]\n"
                          "\n"
                          "Connects to the ECU as the program's connect button does, prints every line of\n"
                          "the program log as it appears and, with --live, one line of the main engine\n"
                          "values per processed diagnostic frame. At the end it disconnects, so the CSV\n"
                          "log of the run is complete on disk, and prints its path.\n"
                          "\n"
                          "The working folder (-C, default: the current folder) must hold config.ini,\n"
                          "hexdata.cfg and errors.cfg. The options below change settings for this run\n"
                          "only; config.ini is never written.\n"
                          "\n"
                          "Options:\n"
                          "  --ecu PORT            \"Ecu com\": the K-line adapter's device\n"
                          "  --lambda PORT         \"LC-1 Com\": the wideband controller's device\n"
                          "  --protocol NAME       \"Протокол обмена\": kvl (or fast) or стандартный (or standard)\n"
                          "  --speed BAUD          \"Скорость ECU COM\": 10400, 38400 or 57600\n"
                          "  --sensor TYPE         \"Датчик кислорода\": Innovate, AEM, Korvel, ALC-1, APSX,\n"
                          "                        or УДК for the ECU's own narrowband sensor\n"
                          "  --set NAME=VALUE      any setting by its name in config.ini, for example\n"
                          "                        --set \"Писать логи=нет\"; repeatable; the options above\n"
                          "                        win over a --set of the same setting\n"
                          "  --seconds N           stop N seconds after diagnostic polling started\n"
                          "                        (default: run until Ctrl+C or SIGTERM)\n"
                          "  --connect-timeout N   give up when polling has not started N seconds after\n"
                          "                        the connect began (default: 60)\n"
                          "  --live                print the main values of every processed frame:\n"
                          "                        rpm=... thr=... ect=... afr=... wb=... ...\n"
                          "  --tune                once polling runs, write the loaded firmware's tables\n"
                          "                        into the ECU's RAM and tune automatically (the firmware\n"
                          "                        must be the one the ECU runs)\n"
                          "  -h, --help            show this text\n"
                          "\n"
                          "Exit status:\n"
                          "  0  diagnostic polling ran and the CSV log (when \"Писать логи\" is \"да\") is complete\n"
                          "  1  polling never ran (missing files or port, no answer from the ECU), or the\n"
                          "     CSV log could not be written completely; stderr says why in one line\n"
                          "  2  a bad command line\n"
                          "\n"
                          "Example with the simulator instead of a car, in two terminals:\n"
                          "  korvel-sim --ecu-link /tmp/ecu --lambda-link /tmp/lc1\n"
                          "  korvel-cli -C demo monitor --ecu /tmp/ecu --lambda /tmp/lc1 --seconds 20 --live\n");
}

} // namespace korvel::cli
