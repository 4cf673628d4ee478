#include "cli/TuneCommand.h"

#include "cli/ReplayCommand.h"
#include "core/Cp1251.h"
#include "core/LogDirectory.h"
#include "core/SafeFile.h"
#include "live/CsvLog.h"
#include "sim/EcuMemory.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTime>

#include <cmath>
#include <optional>

namespace korvel::cli {

namespace {

constexpr int kExitBadUsage = 2;
constexpr int kMaxMinutes = 24 * 60;
// A worker busy at every hand-over would never take a write.
constexpr double kMaxBusyPercent = 90;
// The simulated drive's log starts at this time of day.
const QTime kSimulatedLogStart(12, 0, 0);

// The simulated drive as the program's own CSV log, line by line.
class SimulatedDriveLog {
public:
    explicit SimulatedDriveLog(Protocol protocol) : m_protocol(protocol) {
        add(CsvLog::header(protocol, kLogFieldSeparator));
    }
    void frame(double seconds, const LiveChannels &channels, const TuningTrace &trace) {
        const QTime at = kSimulatedLogStart.addMSecs(static_cast<int>(std::llround(seconds * 1000)));
        add(CsvLog::line(channels, channelCount(m_protocol), trace, at, kLogFieldSeparator));
    }
    const QByteArray &bytes() const { return m_bytes; }

private:
    void add(const QString &line) {
        m_bytes += cp1251::encode(line);
        m_bytes += "\r\n";
    }
    Protocol m_protocol;
    QByteArray m_bytes;
};

QString figuresLine(const MinuteFigures &f) {
    return QStringLiteral("minute %1: %2 % of the states in %3 visited cells within ±2 %, RMS error %4 %, "
                          "%5 cells corrected, table RMS %6 %, %7 bytes differ between image and ECU, "
                          "%8 ticks refused")
        .arg(f.minute, 3)
        .arg(f.within2pct * 100, 5, 'f', 1)
        .arg(f.visitedCells)
        .arg(f.rmsErrorPct, 5, 'f', 2)
        .arg(f.cellsCorrected)
        .arg(f.tableRmsPct, 5, 'f', 2)
        .arg(f.imageRamDiffBytes)
        .arg(RefusalCounts::totalOf(f.refused));
}

// The goal tuners compare modes by: the first minute with this share within ±2 %.
constexpr double kGoodTuneShare = 0.9;

QString goodTuneLine(const std::vector<MinuteFigures> &minutes) {
    for (const MinuteFigures &f : minutes)
        if (f.within2pct >= kGoodTuneShare)
            return QStringLiteral("90 % of the states within ±2 %: first after %1 min").arg(f.minute);
    return QStringLiteral("90 % of the states within ±2 %: not reached");
}

} // namespace

QString tuneHelpText() {
    return QStringLiteral(
        "Usage: korvel-cli tune --simulate MINUTES [--seed N] [--four-point] [--protocol fast|standard]\n"
        "                       [--neighbour PCT] [--load throttle|pressure] [--busy PCT]\n"
        "                       [--firmware FILE] [--phase] [--air-error PERCENT] [--csv FILE]\n"
        "                       [--log FILE] [--no-tune] [--plain]\n"
        "       korvel-cli tune --replay LOG --firmware FW.bin --out OUT.bin [--csv FILE]\n"
        "Tunes a simulated ECU that fuels from its own RAM, with a hidden air error, through\n"
        "the session's own tuning (engine tick, accumulation or four points, write-back\n"
        "timers, hand-overs to the ECU worker) on a virtual clock: an hour of driving takes\n"
        "seconds. Prints per simulated minute the share of the drive's states in the visited\n"
        "cells within ±2 % of the target mixture, their RMS mixture error, the cells\n"
        "corrected, the RMS error at the breakpoints of the visited cells' corners and the\n"
        "bytes of the tuned tables in which the image differs from the ECU. Minute 0 is\n"
        "driven before tuning starts; tuning stops after the last minute. At the end it prints\n"
        "the first minute with 90 % of the states within ±2 % and the ticks the extended\n"
        "tuning refused, by reason, and the wideband's delay measured from the drive's own\n"
        "steps in injection pulse with the delay curve it would use.\n"
        "  --simulate MINUTES       simulated minutes of tuning (1 to 1440)\n"
        "  --seed N                 the drive and the air error (default 1)\n"
        "  --four-point             the four-point method instead of the accumulation\n"
        "  --protocol fast|standard the exchange protocol (default fast); in the standard\n"
        "                           protocol the table is rewritten into the ECU every minute\n"
        "  --neighbour PCT          neighbour learning factor, 0 to 100 (default 0)\n"
        "  --load throttle|pressure tune by throttle or by pressure (default throttle)\n"
        "  --busy PCT               share of hand-overs that find the ECU worker busy, 0 to 90\n"
        "  --firmware FILE          the ECU's firmware, 65536 bytes (default: the demo firmware,\n"
        "                           or its version without the air-flow sensor with --load pressure)\n"
        "  --phase                  also tune the injection phase\n"
        "  --air-error PERCENT      size of the air error, 0 to 50 (default 15)\n"
        "  --csv FILE               also write the figures as a CSV table\n"
        "  --log FILE               also write the drive as the program's CSV log (лог.csv)\n"
        "  --no-tune                drive on the firmware as it is, without tuning\n"
        "  --plain                  \"Расширенная автонастройка\" = \"нет\": no sample filters,\n"
        "                           no delay pairing, no authority limits\n"
        "With --replay, the drive of a CSV log is run through the same tuning with the\n"
        "settings of the working folder (config.ini), on the log's own clock, against the\n"
        "firmware FW.bin, which is never changed. Prints per table the cells corrected,\n"
        "writes the corrected image to OUT.bin and, with --csv, one line per corrected\n"
        "cell: table,row,column,before,after,hits,mean_error_pct.\n");
}

QByteArray tuneCsv(const std::vector<MinuteFigures> &minutes) {
    QByteArray csv("minute,within_2pct,rms_error_pct,cells_corrected,table_rms_pct,image_ram_diff_bytes\n");
    for (const MinuteFigures &f : minutes)
        csv += QStringLiteral("%1,%2,%3,%4,%5,%6\n")
                   .arg(f.minute)
                   .arg(f.within2pct, 0, 'f', 4)
                   .arg(f.rmsErrorPct, 0, 'f', 3)
                   .arg(f.cellsCorrected)
                   .arg(f.tableRmsPct, 0, 'f', 3)
                   .arg(f.imageRamDiffBytes)
                   .toUtf8();
    return csv;
}

int runTuneCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const QString &workDir) {
    QCommandLineParser parser;
    const QCommandLineOption simulate(QStringLiteral("simulate"), QString(), QStringLiteral("minutes"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("n"));
    const QCommandLineOption fourPoint(QStringLiteral("four-point"));
    const QCommandLineOption airError(QStringLiteral("air-error"), QString(), QStringLiteral("percent"));
    const QCommandLineOption csv(QStringLiteral("csv"), QString(), QStringLiteral("file"));
    const QCommandLineOption protocol(QStringLiteral("protocol"), QString(), QStringLiteral("name"));
    const QCommandLineOption neighbour(QStringLiteral("neighbour"), QString(), QStringLiteral("percent"));
    const QCommandLineOption load(QStringLiteral("load"), QString(), QStringLiteral("axis"));
    const QCommandLineOption busy(QStringLiteral("busy"), QString(), QStringLiteral("percent"));
    const QCommandLineOption firmware(QStringLiteral("firmware"), QString(), QStringLiteral("file"));
    const QCommandLineOption phase(QStringLiteral("phase"));
    const QCommandLineOption log(QStringLiteral("log"), QString(), QStringLiteral("file"));
    const QCommandLineOption noTune(QStringLiteral("no-tune"));
    const QCommandLineOption replay(QStringLiteral("replay"), QString(), QStringLiteral("log"));
    const QCommandLineOption outImage(QStringLiteral("out"), QString(), QStringLiteral("file"));
    const QCommandLineOption plainRules(QStringLiteral("plain"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({simulate, seed, fourPoint, airError, csv, protocol, neighbour, load, busy, firmware, phase, log,
                       noTune, replay, outImage, plainRules, help});
    auto usage = [&](const QString &why) {
        err << "korvel-cli tune: " << why << "\n" << tuneHelpText();
        return kExitBadUsage;
    };
    if (!parser.parse(QStringList{QStringLiteral("tune")} + arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out << tuneHelpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(replay)) {
        if (parser.isSet(simulate))
            return usage(QStringLiteral("--replay and --simulate exclude each other"));
        if (!parser.isSet(firmware) || !parser.isSet(outImage))
            return usage(QStringLiteral("--replay needs --firmware and --out"));
        const ReplayFiles files{parser.value(replay), parser.value(firmware), parser.value(outImage),
                                parser.isSet(csv) ? parser.value(csv) : QString()};
        return runReplayCommand(files, workDir.isEmpty() ? QDir::currentPath() : workDir, out, err);
    }
    if (!parser.isSet(simulate))
        return usage(QStringLiteral("--simulate or --replay is required"));
    if (parser.isSet(outImage))
        return usage(QStringLiteral("--out belongs to --replay"));
    HarnessOptions options;
    bool ok = false;
    options.minutes = parser.value(simulate).toInt(&ok);
    if (!ok || options.minutes < 1 || options.minutes > kMaxMinutes)
        return usage(QStringLiteral("invalid value for --simulate: %1").arg(parser.value(simulate)));
    if (parser.isSet(seed)) {
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            return usage(QStringLiteral("invalid value for --seed: %1").arg(parser.value(seed)));
    }
    if (parser.isSet(airError)) {
        const double percent = parser.value(airError).toDouble(&ok);
        if (!ok || percent < 0 || percent > 50)
            return usage(QStringLiteral("invalid value for --air-error: %1").arg(parser.value(airError)));
        options.airErrorSize = percent / 100;
    }
    options.fourPoint = parser.isSet(fourPoint);
    options.phase = parser.isSet(phase);
    options.extended = !parser.isSet(plainRules);
    if (parser.isSet(protocol)) {
        const QString name = parser.value(protocol);
        if (name != QLatin1String("fast") && name != QLatin1String("standard"))
            return usage(QStringLiteral("invalid value for --protocol: %1").arg(name));
        options.protocol = name == QLatin1String("fast") ? Protocol::Fast : Protocol::Standard;
    }
    if (parser.isSet(load)) {
        const QString name = parser.value(load);
        if (name != QLatin1String("throttle") && name != QLatin1String("pressure"))
            return usage(QStringLiteral("invalid value for --load: %1").arg(name));
        options.byPressure = name == QLatin1String("pressure");
    }
    if (parser.isSet(neighbour)) {
        options.neighbourPercent = parser.value(neighbour).toInt(&ok);
        if (!ok || options.neighbourPercent < 0 || options.neighbourPercent > 100)
            return usage(QStringLiteral("invalid value for --neighbour: %1").arg(parser.value(neighbour)));
    }
    if (parser.isSet(busy)) {
        const double percent = parser.value(busy).toDouble(&ok);
        if (!ok || percent < 0 || percent > kMaxBusyPercent)
            return usage(QStringLiteral("invalid value for --busy: %1").arg(parser.value(busy)));
        options.busyShare = percent / 100;
    }
    if (parser.isSet(firmware)) {
        QString why;
        if (!sim::loadFirmwareFile(parser.value(firmware), &options.firmware, &why)) {
            err << "korvel-cli tune: " << why << '\n';
            return 1;
        }
    }

    options.tune = !parser.isSet(noTune);
    std::optional<SimulatedDriveLog> driveLog;
    if (parser.isSet(log)) {
        driveLog.emplace(options.protocol);
        options.onFrame = [&driveLog](double seconds, const LiveChannels &channels, const TuningTrace &trace) {
            driveLog->frame(seconds, channels, trace);
        };
    }
    QString delayReport;
    const std::vector<MinuteFigures> minutes = runClosedLoopTuning(
        options,
        [&out](const MinuteFigures &f) {
            out << figuresLine(f) << '\n';
            out.flush();
        },
        &delayReport);
    if (minutes.empty()) {
        err << "korvel-cli tune: tuning did not start\n";
        return 1;
    }
    if (driveLog) {
        const QString problem = writeFileSafely(parser.value(log), driveLog->bytes());
        if (!problem.isEmpty()) {
            err << "korvel-cli tune: " << problem << '\n';
            return 1;
        }
    }
    out << goodTuneLine(minutes) << '\n';
    out << delayReport << '\n';
    const RefusalCounts::PerReason &refused = minutes.back().refused;
    out << QStringLiteral("ticks refused: %1 (%2)")
               .arg(RefusalCounts::totalOf(refused))
               .arg(RefusalCounts::summary(refused))
        << '\n';
    if (parser.isSet(csv)) {
        const QString problem = writeFileSafely(parser.value(csv), tuneCsv(minutes));
        if (!problem.isEmpty()) {
            err << "korvel-cli tune: " << problem << '\n';
            return 1;
        }
    }
    return 0;
}

} // namespace korvel::cli
