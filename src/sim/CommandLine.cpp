#include "sim/CommandLine.h"

#include "firmware/DemoFirmware.h"

#include <QCommandLineParser>

namespace korvel::sim {

namespace {

constexpr int kDefaultLateMs = 500;

struct Names {
    QString protocol = QStringLiteral("protocol");
    QString firmware = QStringLiteral("firmware");
    QString wideband = QStringLiteral("wideband");
    QString latency = QStringLiteral("latency");
    QString lineTiming = QStringLiteral("line-timing");
    QString ecuLink = QStringLiteral("ecu-link");
    QString lambdaLink = QStringLiteral("lambda-link");
    QString fault = QStringLiteral("fault");
    QString lateMs = QStringLiteral("late-ms");
    QString randomFaults = QStringLiteral("random-faults");
    QString answerForm = QStringLiteral("answer-form");
    QString answerChunks = QStringLiteral("answer-chunks");
    QString afrError = QStringLiteral("afr-error");
    QString lambdaWarmup = QStringLiteral("lambda-warmup");
    QString lambdaNoise = QStringLiteral("lambda-noise");
    QString seed = QStringLiteral("seed");
    QString closedLoop = QStringLiteral("closed-loop");
    QString airError = QStringLiteral("air-error");
    QString troubleCodes = QStringLiteral("trouble-codes");
    QString sessionTimeout = QStringLiteral("session-timeout");
    QString verbose = QStringLiteral("verbose");
    QString help = QStringLiteral("help");
};

std::optional<int> boundedInt(const QString &text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<Protocol> protocolFromName(const QString &name) {
    if (name == QLatin1String("fast") || name == QLatin1String("kvl"))
        return Protocol::Fast;
    if (name == QLatin1String("standard") || name == QStringLiteral("стандартный"))
        return Protocol::Standard;
    return std::nullopt;
}

// KIND[@REQUEST][*COUNT]; without a count the fault hits every matching request.
std::optional<FaultRule> faultFromText(const QString &text, int lateMs) {
    QString rest = text;
    FaultRule rule;
    rule.count = 0;
    rule.delayMs = lateMs;
    if (const qsizetype star = rest.indexOf(QLatin1Char('*')); star >= 0) {
        const std::optional<int> count = boundedInt(rest.mid(star + 1), 0, 1000000);
        if (!count)
            return std::nullopt;
        rule.count = *count;
        rest = rest.left(star);
    }
    if (const qsizetype at = rest.indexOf(QLatin1Char('@')); at >= 0) {
        const std::optional<RequestKind> kind = requestKindFromName(rest.mid(at + 1));
        if (!kind)
            return std::nullopt;
        rule.on = *kind;
        rest = rest.left(at);
    }
    const std::optional<FaultKind> kind = faultKindFromName(rest);
    if (!kind)
        return std::nullopt;
    rule.kind = *kind;
    return rule;
}

// SEED:PERCENT
std::optional<RandomFaults> randomFaultsFromText(const QString &text, int lateMs) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return std::nullopt;
    bool seedOk = false;
    bool percentOk = false;
    const uint seed = parts[0].toUInt(&seedOk);
    const double percent = parts[1].toDouble(&percentOk);
    if (!seedOk || !percentOk || percent < 0 || percent > 100)
        return std::nullopt;
    RandomFaults random;
    random.seed = seed;
    random.probability = percent / 100;
    random.delayMs = lateMs;
    return random;
}

// KIND=short|length
std::optional<std::pair<RequestKind, HeaderForm>> answerFormFromText(const QString &text) {
    const QStringList parts = text.split(QLatin1Char('='));
    if (parts.size() != 2)
        return std::nullopt;
    const std::optional<RequestKind> kind = requestKindFromName(parts[0]);
    if (!kind)
        return std::nullopt;
    if (parts[1] == QLatin1String("short"))
        return std::pair{*kind, HeaderForm::Short};
    if (parts[1] == QLatin1String("length"))
        return std::pair{*kind, HeaderForm::LengthByte};
    return std::nullopt;
}

} // namespace

std::optional<CommandLineSettings> parseCommandLine(const QStringList &arguments, QString *error) {
    const Names n;
    QCommandLineParser parser;
    parser.addOptions({
        {{QStringLiteral("p"), n.protocol}, QString(), QStringLiteral("protocol")},
        {{QStringLiteral("f"), n.firmware}, QString(), QStringLiteral("file")},
        {{QStringLiteral("w"), n.wideband}, QString(), QStringLiteral("type")},
        {{QStringLiteral("l"), n.latency}, QString(), QStringLiteral("ms")},
        {n.lineTiming, QString(), QStringLiteral("on|off")},
        {n.ecuLink, QString(), QStringLiteral("path")},
        {n.lambdaLink, QString(), QStringLiteral("path")},
        {n.fault, QString(), QStringLiteral("fault")},
        {n.lateMs, QString(), QStringLiteral("ms")},
        {n.randomFaults, QString(), QStringLiteral("seed:percent")},
        {n.answerForm, QString(), QStringLiteral("kind=form")},
        {n.answerChunks, QString(), QStringLiteral("n")},
        {n.afrError, QString(), QStringLiteral("percent")},
        {n.lambdaWarmup, QString(), QStringLiteral("ms")},
        {n.lambdaNoise, QString()},
        {n.seed, QString(), QStringLiteral("n")},
        {n.closedLoop, QString()},
        {n.airError, QString(), QStringLiteral("percent")},
        {n.troubleCodes, QString(), QStringLiteral("hex")},
        {n.sessionTimeout, QString(), QStringLiteral("ms")},
        {{QStringLiteral("v"), n.verbose}, QString()},
        {{QStringLiteral("h"), n.help}, QString()},
    });
    auto fail = [&](const QString &why) -> std::optional<CommandLineSettings> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    auto badValue = [&](const QString &option) {
        return fail(QStringLiteral("invalid value for --%1: %2").arg(option, parser.value(option)));
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    CommandLineSettings settings;
    SimulatorOptions &o = settings.options;
    settings.help = parser.isSet(n.help);
    for (const QString &name : parser.optionNames())
        if (name == QLatin1String("v") || name == n.verbose)
            ++settings.verbosity;

    if (parser.isSet(n.protocol)) {
        const std::optional<Protocol> protocol = protocolFromName(parser.value(n.protocol));
        if (!protocol)
            return badValue(n.protocol);
        o.protocol = *protocol;
    }
    o.firmwareFile = parser.value(n.firmware);
    if (o.firmwareFile.isEmpty())
        o.firmwareFactory = makeDemoFirmware;
    if (parser.isSet(n.wideband)) {
        const std::optional<WidebandType> type = widebandTypeFromName(parser.value(n.wideband));
        if (!type)
            return badValue(n.wideband);
        o.wideband = *type;
    }
    if (parser.isSet(n.latency)) {
        const std::optional<int> ms = boundedInt(parser.value(n.latency), 0, 60000);
        if (!ms)
            return badValue(n.latency);
        o.latencyMs = *ms;
    }
    if (parser.isSet(n.lineTiming)) {
        const QString value = parser.value(n.lineTiming);
        if (value != QLatin1String("on") && value != QLatin1String("off"))
            return badValue(n.lineTiming);
        o.lineTiming = value == QLatin1String("on");
    }
    if (parser.isSet(n.answerChunks)) {
        const std::optional<int> chunks = boundedInt(parser.value(n.answerChunks), 1, 64);
        if (!chunks)
            return badValue(n.answerChunks);
        o.answerChunks = *chunks;
    }
    o.ecuLinkPath = parser.value(n.ecuLink);
    o.lambdaLinkPath = parser.value(n.lambdaLink);
    int lateMs = kDefaultLateMs;
    if (parser.isSet(n.lateMs)) {
        const std::optional<int> ms = boundedInt(parser.value(n.lateMs), 0, 600000);
        if (!ms)
            return badValue(n.lateMs);
        lateMs = *ms;
    }
    for (const QString &text : parser.values(n.fault)) {
        const std::optional<FaultRule> rule = faultFromText(text, lateMs);
        if (!rule)
            return fail(QStringLiteral("invalid value for --%1: %2").arg(n.fault, text));
        o.faults.push_back(*rule);
    }
    if (parser.isSet(n.randomFaults)) {
        o.randomFaults = randomFaultsFromText(parser.value(n.randomFaults), lateMs);
        if (!o.randomFaults)
            return badValue(n.randomFaults);
    }
    for (const QString &text : parser.values(n.answerForm)) {
        const auto form = answerFormFromText(text);
        if (!form)
            return fail(QStringLiteral("invalid value for --%1: %2").arg(n.answerForm, text));
        o.answerForms.push_back(*form);
    }
    if (parser.isSet(n.afrError)) {
        bool ok = false;
        const double percent = parser.value(n.afrError).toDouble(&ok);
        if (!ok || percent <= -50 || percent >= 100)
            return badValue(n.afrError);
        o.afrError = percent / 100;
    }
    if (parser.isSet(n.lambdaWarmup)) {
        const std::optional<int> ms = boundedInt(parser.value(n.lambdaWarmup), 0, 600000);
        if (!ms)
            return badValue(n.lambdaWarmup);
        o.widebandWarmupMs = *ms;
    }
    if (parser.isSet(n.lambdaNoise)) {
        o.widebandCrLf = true;
        o.widebandStrayBytes = 0.05;
    }
    if (parser.isSet(n.seed)) {
        bool ok = false;
        o.seed = parser.value(n.seed).toUInt(&ok);
        if (!ok)
            return badValue(n.seed);
    }
    o.closedLoop = parser.isSet(n.closedLoop) || parser.isSet(n.airError);
    if (parser.isSet(n.airError)) {
        bool ok = false;
        const double percent = parser.value(n.airError).toDouble(&ok);
        if (!ok || percent < 0 || percent > 50)
            return badValue(n.airError);
        o.airErrorSize = percent / 100;
    }
    if (parser.isSet(n.troubleCodes)) {
        bool ok = false;
        o.troubleCodes = parser.value(n.troubleCodes).toUInt(&ok, 16);
        if (!ok)
            return badValue(n.troubleCodes);
    }
    if (parser.isSet(n.sessionTimeout)) {
        const std::optional<int> ms = boundedInt(parser.value(n.sessionTimeout), 0, 3600000);
        if (!ms)
            return badValue(n.sessionTimeout);
        o.sessionTimeoutMs = *ms;
    }
    o.traceWideband = settings.verbosity >= 2;
    return settings;
}

QString helpText() {
    return QStringLiteral(
        R"(korvel-sim: a simulated ECU (K-line, KWP2000) and wideband lambda controller
for Korvel Online, each behind a pseudo-terminal that the program opens like a
serial port.

Usage: korvel-sim [options]

It prints the two device paths, then runs until Ctrl+C (SIGINT) or SIGTERM; on
exit it removes the links it placed.

Pointing Korvel Online at the simulator:
  1. Start korvel-sim, for example
       korvel-sim --ecu-link /tmp/korvel-ecu --lambda-link /tmp/korvel-lc1
     It prints lines such as
       ECU device:      /dev/pts/4  (link /tmp/korvel-ecu)
       Wideband device: /dev/pts/5  (link /tmp/korvel-lc1; Innovate, 19200 baud)
     The /dev/pts numbers change from run to run; the links do not.
  2. In the settings set "Ecu com" to the ECU device (or its link) and
     "LC-1 Com" to the wideband device (or its link).
  3. Set "Протокол обмена" to match --protocol (kvl for fast, стандартный for
     standard), "Датчик кислорода" to the --wideband type, and
     "Скорость ECU COM" to 10400, 38400 or 57600.
  4. Connect. The ECU starts at 10400 baud and switches to the rate the
     program asks for in its startDiagnosticSession request.

Options:
  -p, --protocol fast|standard   frames the ECU speaks (default fast; also
                                 "kvl" and "стандартный"). A standard ECU
                                 refuses 21 0F, memory and actuator services.
  -f, --firmware FILE            ECU memory from a 65536-byte firmware file
                                 (default: the demo firmware, SWID AFF68EED)
  -w, --wideband TYPE            Innovate, AEM, Korvel, ALC-1, APSX or none
                                 (default Innovate)
  -l, --latency MS               end of request to first answer byte
                                 (default 25)
      --line-timing on|off       every byte takes ten bit times at the line's
                                 rate (default on)
      --ecu-link PATH            place a symbolic link to the ECU device
      --lambda-link PATH         place a symbolic link to the wideband device
      --fault KIND[@REQUEST][*COUNT]
                                 inject a fault (repeatable); without a count it
                                 hits every matching request
                                 KIND: no-answer, bad-checksum, wrong-length,
                                   negative, garbage, late, vanish,
                                   corrupt-write (a memory write is stored
                                   with its first data byte inverted)
                                 REQUEST: start-communication,
                                   stop-communication, start-session,
                                   stop-session, tester-present, switch-to-ram,
                                   actuator, fast-frame, standard-frame,
                                   read-memory, write-memory, other
                                 e.g. --fault late@fast-frame*3
      --late-ms MS               delay of "late" answers (default 500)
      --random-faults SEED:PERCENT
                                 hit this share of requests with random faults
      --answer-form REQUEST=short|length
                                 header form of that request's answers (default:
                                 short for start-communication, length byte for
                                 the others)
      --answer-chunks N          every answer reaches the program in N pieces,
                                 the first ending inside the header (default 1)
      --afr-error PERCENT        measured mixture = target x (1 + PERCENT/100)
      --lambda-warmup MS         wideband heater warm-up after the program
                                 opens the port (default 5000; 0 = none)
      --lambda-noise             stray bytes and CR LF line ends on the
                                 wideband line
      --seed N                   seed of the simulated drive (default 1)
      --closed-loop              the ECU fuels from its tables in RAM with a hidden,
                                 seeded air-measurement error: written tables
                                 change the mixture the wideband reports
      --air-error PERCENT        size of that error, 0 to 50 (default 15);
                                 implies --closed-loop
      --trouble-codes HEX        trouble-code bits (code byte 1 lowest)
      --session-timeout MS       without requests for this long the ECU ends
                                 communication and returns to 10400 baud
                                 (default 5000; 0 = never)
  -v, --verbose                  trace every ECU frame in both directions (hex);
                                 twice (-vv): also every wideband message
  -h, --help                     this text
)");
}

} // namespace korvel::sim
