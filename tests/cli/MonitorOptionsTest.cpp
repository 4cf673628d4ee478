// The monitor's command line: which values it takes, what it turns them into,
// and which it refuses (exit status 2 in korvel-cli).
#include "cli/MonitorOptions.h"
#include "core/SettingNames.h"

#include <gtest/gtest.h>

using namespace korvel;
using namespace korvel::cli;

namespace {

using Overrides = std::vector<std::pair<QString, QString>>;

MonitorOptions parsed(const QStringList &arguments) {
    const MonitorCommandLine line = parseMonitorOptions(arguments);
    EXPECT_TRUE(line.options.has_value()) << line.error.toStdString();
    return line.options.value_or(MonitorOptions{});
}

} // namespace

TEST(MonitorOptions, DefaultsRunUntilStoppedWithoutOverrides) {
    const MonitorOptions options = parsed({});
    EXPECT_TRUE(options.overrides.empty());
    EXPECT_FALSE(options.seconds.has_value());
    EXPECT_FALSE(options.live);
    EXPECT_FALSE(options.tune);
    EXPECT_EQ(options.connectTimeoutSeconds, 60);
}

TEST(MonitorOptions, DedicatedOptionsBecomeSettingsAfterEverySet) {
    const MonitorOptions options = parsed({"--set",
                                           "Писать логи=нет",
                                           "--ecu",
                                           "/tmp/ecu",
                                           "--lambda",
                                           "/tmp/lc1",
                                           "--protocol",
                                           "standard",
                                           "--speed",
                                           "38400",
                                           "--sensor",
                                           "УДК",
                                           "--set",
                                           "Ecu com=/dev/other",
                                           "--set",
                                           "Новая=a=b",
                                           "--seconds",
                                           "20",
                                           "--connect-timeout",
                                           "5",
                                           "--live",
                                           "--tune"});
    const Overrides expected = {
        {"Писать логи", "нет"},
        {"Ecu com", "/dev/other"},
        {"Новая", "a=b"}, // the first '=' splits; the value may hold more
        {setting::EcuCom, "/tmp/ecu"},
        {setting::LambdaCom, "/tmp/lc1"},
        {setting::Protocol, setting::StandardProtocol},
        {setting::EcuSpeed, "38400"},
        {setting::OxygenSensor, setting::Narrowband},
    };
    EXPECT_EQ(options.overrides, expected);
    EXPECT_EQ(options.seconds, 20);
    EXPECT_EQ(options.connectTimeoutSeconds, 5);
    EXPECT_TRUE(options.live);
    EXPECT_TRUE(options.tune);
}

TEST(MonitorOptions, AcceptsEveryProtocolSpeedAndSensorTheProgramKnows) {
    const std::pair<QStringList, std::pair<QString, QString>> cases[] = {
        {{"--protocol", "kvl"}, {setting::Protocol, setting::FastProtocol}},
        {{"--protocol", "fast"}, {setting::Protocol, setting::FastProtocol}},
        {{"--protocol", "стандартный"}, {setting::Protocol, setting::StandardProtocol}},
        {{"--speed", "10400"}, {setting::EcuSpeed, "10400"}},
        {{"--speed", "57600"}, {setting::EcuSpeed, "57600"}},
        {{"--sensor", "Innovate"}, {setting::OxygenSensor, "Innovate"}},
        {{"--sensor", "AEM"}, {setting::OxygenSensor, "AEM"}},
        {{"--sensor", "Korvel"}, {setting::OxygenSensor, "Korvel"}},
        {{"--sensor", "ALC-1"}, {setting::OxygenSensor, "ALC-1"}},
        {{"--sensor", "APSX"}, {setting::OxygenSensor, "APSX"}},
        {{"--set", "Карта прошивки="}, {"Карта прошивки", ""}},
    };
    for (const auto &[arguments, expected] : cases)
        EXPECT_EQ(parsed(arguments).overrides, Overrides{expected}) << arguments.join(' ').toStdString();
}

TEST(MonitorOptions, RefusesBadValuesNamingTheOption) {
    const std::pair<QStringList, QString> cases[] = {
        {{"--seconds", "0"}, "--seconds"},
        {{"--seconds", "-5"}, "--seconds"},
        {{"--seconds", "+5"}, "--seconds"},
        {{"--seconds", "1.5"}, "--seconds"},
        {{"--seconds", "ten"}, "--seconds"},
        {{"--seconds", "99999999999"}, "--seconds"},
        {{"--seconds"}, "--seconds"},
        {{"--connect-timeout", "0"}, "--connect-timeout"},
        {{"--speed", "9600"}, "--speed"},
        {{"--protocol", "быстрый"}, "--protocol"},
        {{"--protocol", "KVL"}, "--protocol"},
        {{"--sensor", "LC-9"}, "--sensor"},
        {{"--ecu", ""}, "--ecu"},
        {{"--lambda", " "}, "--lambda"},
        {{"--set", "Ecu com"}, "--set"},
        {{"--set", "=COM3"}, "--set"},
        {{"--bogus"}, "bogus"},
        {{"extra"}, "extra"},
    };
    for (const auto &[arguments, named] : cases) {
        const MonitorCommandLine line = parseMonitorOptions(arguments);
        EXPECT_FALSE(line.options.has_value()) << arguments.join(' ').toStdString();
        EXPECT_FALSE(line.help);
        EXPECT_TRUE(line.error.contains(named))
            << arguments.join(' ').toStdString() << ": " << line.error.toStdString();
    }
}

TEST(MonitorOptions, HelpDocumentsEveryOptionAndTheSimulatorExample) {
    const MonitorCommandLine line = parseMonitorOptions({"--ecu", "/tmp/ecu", "--help"});
    EXPECT_TRUE(line.help);
    EXPECT_FALSE(line.options.has_value());
    const QString text = monitorHelpText();
    for (const char *option : {"--ecu", "--lambda", "--protocol", "--speed", "--sensor", "--set", "--seconds",
                               "--connect-timeout", "--live", "--tune"})
        EXPECT_TRUE(text.contains(QLatin1String(option))) << option;
    for (const QString &name :
         {setting::EcuCom, setting::LambdaCom, setting::Protocol, setting::EcuSpeed, setting::OxygenSensor})
        EXPECT_TRUE(text.contains('"' + name + '"')) << name.toStdString();
    EXPECT_TRUE(text.contains("korvel-sim --ecu-link /tmp/ecu --lambda-link /tmp/lc1"));
    EXPECT_TRUE(text.contains("korvel-cli -C demo monitor --ecu /tmp/ecu --lambda /tmp/lc1 --seconds 20 --live"));
}
