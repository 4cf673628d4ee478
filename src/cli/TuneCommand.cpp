#include "cli/TuneCommand.h"

#include "core/SafeFile.h"

#include <QCommandLineParser>

namespace korvel::cli {

namespace {

constexpr int kExitBadUsage = 2;
constexpr int kMaxMinutes = 24 * 60;

QString figuresLine(const MinuteFigures &f) {
    return QStringLiteral("minute %1: %2 % of %3 visited cells within ±2 %, RMS error %4 %, %5 cells corrected")
        .arg(f.minute, 3)
        .arg(f.within2pct * 100, 5, 'f', 1)
        .arg(f.visitedCells)
        .arg(f.rmsErrorPct, 5, 'f', 2)
        .arg(f.cellsCorrected);
}

} // namespace

QString tuneHelpText() {
    return QStringLiteral(
        "Usage: korvel-cli tune --simulate MINUTES [--seed N] [--four-point] [--air-error PERCENT] [--csv FILE]\n"
        "Tunes a simulated ECU that fuels from its own RAM, with a hidden air-measurement\n"
        "error, on a virtual clock (an hour of driving takes seconds). Prints per simulated\n"
        "minute the share of visited cells within ±2 % of the target mixture, the RMS\n"
        "mixture error over them and the number of cells corrected; minute 0 is driven\n"
        "before tuning starts.\n"
        "  --simulate MINUTES   simulated minutes of tuning (1 to 1440)\n"
        "  --seed N             the drive and the air-measurement error (default 1)\n"
        "  --four-point         the four-point method instead of the accumulation\n"
        "  --air-error PERCENT  size of the air-measurement error, 0 to 50 (default 15)\n"
        "  --csv FILE           also write the figures as a CSV table\n");
}

QByteArray tuneCsv(const std::vector<MinuteFigures> &minutes) {
    QByteArray csv("minute,within_2pct,rms_error_pct,cells_corrected\n");
    for (const MinuteFigures &f : minutes)
        csv += QStringLiteral("%1,%2,%3,%4\n")
                   .arg(f.minute)
                   .arg(f.within2pct, 0, 'f', 4)
                   .arg(f.rmsErrorPct, 0, 'f', 3)
                   .arg(f.cellsCorrected)
                   .toUtf8();
    return csv;
}

int runTuneCommand(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    QCommandLineParser parser;
    const QCommandLineOption simulate(QStringLiteral("simulate"), QString(), QStringLiteral("minutes"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("n"));
    const QCommandLineOption fourPoint(QStringLiteral("four-point"));
    const QCommandLineOption airError(QStringLiteral("air-error"), QString(), QStringLiteral("percent"));
    const QCommandLineOption csv(QStringLiteral("csv"), QString(), QStringLiteral("file"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({simulate, seed, fourPoint, airError, csv, help});
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
    if (!parser.isSet(simulate))
        return usage(QStringLiteral("only --simulate is supported"));
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

    const std::vector<MinuteFigures> minutes = runClosedLoopTuning(options, [&out](const MinuteFigures &f) {
        out << figuresLine(f) << '\n';
        out.flush();
    });
    if (minutes.empty()) {
        err << "korvel-cli tune: tuning did not start\n";
        return 1;
    }
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
