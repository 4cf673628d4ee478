#include "sim/CommandLine.h"

#include <gtest/gtest.h>

using namespace korvel::sim;

namespace {

std::optional<CommandLineSettings> parse(const QStringList &args, QString *error = nullptr) {
    return parseCommandLine(QStringList{QStringLiteral("korvel-sim")} + args, error);
}

} // namespace

TEST(CommandLine, DefaultsMatchTheDocumentedOnes) {
    const auto s = parse({});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->options.protocol, Protocol::Fast);
    EXPECT_EQ(s->options.wideband, WidebandType::Innovate);
    EXPECT_EQ(s->options.latencyMs, 25);
    EXPECT_TRUE(s->options.lineTiming);
    EXPECT_EQ(s->options.sessionTimeoutMs, 5000);
    EXPECT_EQ(s->options.widebandWarmupMs, 5000);
    EXPECT_TRUE(s->options.faults.empty());
    EXPECT_EQ(s->verbosity, 0);
    EXPECT_FALSE(s->help);
}

TEST(CommandLine, ReadsEveryOption) {
    const auto s = parse({"--protocol",
                          "стандартный",
                          "-f",
                          "/tmp/fw.bin",
                          "--wideband",
                          "alc-1",
                          "-l",
                          "5",
                          "--line-timing",
                          "off",
                          "--ecu-link",
                          "/tmp/e",
                          "--lambda-link",
                          "/tmp/l",
                          "--late-ms",
                          "300",
                          "--fault",
                          "late@fast-frame*3",
                          "--fault",
                          "vanish@read-memory",
                          "--random-faults",
                          "7:12.5",
                          "--answer-form",
                          "tester-present=short",
                          "--afr-error",
                          "-4",
                          "--lambda-warmup",
                          "0",
                          "--lambda-noise",
                          "--seed",
                          "99",
                          "--trouble-codes",
                          "0A000001",
                          "--session-timeout",
                          "0",
                          "-vv"});
    ASSERT_TRUE(s);
    const SimulatorOptions &o = s->options;
    EXPECT_EQ(o.protocol, Protocol::Standard);
    EXPECT_EQ(o.firmwareFile, QStringLiteral("/tmp/fw.bin"));
    EXPECT_EQ(o.wideband, WidebandType::Alc1);
    EXPECT_EQ(o.latencyMs, 5);
    EXPECT_FALSE(o.lineTiming);
    EXPECT_EQ(o.ecuLinkPath, QStringLiteral("/tmp/e"));
    EXPECT_EQ(o.lambdaLinkPath, QStringLiteral("/tmp/l"));
    ASSERT_EQ(o.faults.size(), 2U);
    EXPECT_EQ(o.faults[0].kind, FaultKind::LateAnswer);
    EXPECT_EQ(o.faults[0].on, RequestKind::FastFrame);
    EXPECT_EQ(o.faults[0].count, 3);
    EXPECT_EQ(o.faults[0].delayMs, 300);
    EXPECT_EQ(o.faults[1].kind, FaultKind::Vanish);
    EXPECT_EQ(o.faults[1].count, 0) << "without a count a fault hits every matching request";
    ASSERT_TRUE(o.randomFaults);
    EXPECT_EQ(o.randomFaults->seed, 7U);
    EXPECT_DOUBLE_EQ(o.randomFaults->probability, 0.125);
    ASSERT_EQ(o.answerForms.size(), 1U);
    EXPECT_EQ(o.answerForms[0].first, RequestKind::TesterPresent);
    EXPECT_EQ(o.answerForms[0].second, HeaderForm::Short);
    EXPECT_DOUBLE_EQ(o.afrError, -0.04);
    EXPECT_EQ(o.widebandWarmupMs, 0);
    EXPECT_TRUE(o.widebandCrLf);
    EXPECT_GT(o.widebandStrayBytes, 0);
    EXPECT_EQ(o.seed, 99U);
    EXPECT_EQ(o.troubleCodes, 0x0A000001U);
    EXPECT_EQ(o.sessionTimeoutMs, 0);
    EXPECT_EQ(s->verbosity, 2);
    EXPECT_TRUE(o.traceWideband);
}

TEST(CommandLine, RejectsWrongValuesWithTheOptionNamed) {
    const QStringList bad[] = {
        {"--protocol", "fastest"}, {"--wideband", "LC-2"},     {"--latency", "-1"},
        {"--line-timing", "yes"},  {"--fault", "explode"},     {"--fault", "late@everything"},
        {"--fault", "late*x"},     {"--random-faults", "7"},   {"--answer-form", "tester-present=long"},
        {"--seed", "x"},           {"--trouble-codes", "xyz"}, {"stray"},
        {"--no-such-option"},
    };
    for (const QStringList &args : bad) {
        QString error;
        EXPECT_FALSE(parse(args, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(CommandLine, HelpExplainsHowToPointTheProgramAtTheDevices) {
    const auto s = parse({"--help"});
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->help);
    const QString text = helpText();
    for (const char *needle : {"\"Ecu com\"", "\"LC-1 Com\"", "--ecu-link", "--fault", "SIGTERM", "--line-timing"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(needle))) << needle;
}
