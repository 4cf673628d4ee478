#include "cli/LogCommand.h"

#include "core/SafeFile.h"
#include "firmware/FirmwareImage.h"
#include "live/MslExport.h"
#include "sim/EcuMemory.h"

#include <QCommandLineParser>

namespace korvel::cli {
namespace {

constexpr int kLogExitBadUsage = 2;
constexpr int kLogCellWidth = 7;
const QString kLogEmptyCell = QStringLiteral(".");
const QString kMslFormat = QStringLiteral("msl");
// The family whose pressure range the axes of a --firmware take: the demo's and the commonest.
constexpr int kLogAxesFamily = 1;

QString logTableRows(const LogCellTable &table, bool counts) {
    QString text;
    text += QStringLiteral("row\\col");
    for (int col = 0; col < 16; ++col)
        text += QStringLiteral("%1").arg(col, kLogCellWidth);
    text += QLatin1Char('\n');
    for (int row = 0; row < 16; ++row) {
        text += QStringLiteral("%1").arg(row, 7);
        for (int col = 0; col < 16; ++col) {
            const LogCell &cell = table.cells[static_cast<std::size_t>(row * 16 + col)];
            QString shown = kLogEmptyCell;
            if (cell.count > 0)
                shown = counts ? QString::number(cell.count)
                               : QString::number(cell.value, 'f', table.quantity == LogQuantity::Knock ? 0 : 2);
            text += QStringLiteral("%1").arg(shown, kLogCellWidth);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QString quantityList() {
    QStringList names;
    for (const LogQuantityName &name : logQuantityNames())
        names += QLatin1String(name.cliName);
    return names.join(QLatin1Char('|'));
}

} // namespace

QString logHelpText() {
    return QStringLiteral("Usage: korvel-cli log table LOG --quantity %1 [--firmware FW.bin] [--pressure]\n"
                          "       korvel-cli log export LOG --format msl OUT.msl\n"
                          "table: the mean and the count of a quantity per tuning cell of a CSV log\n"
                          "(лог.csv). The cell is the working point the program logged (fast protocol),\n"
                          "or, with --firmware, the ECU's cell of the logged engine speed and throttle\n"
                          "(manifold pressure with --pressure) on that firmware's axes; a standard-\n"
                          "protocol log needs --firmware. Quantities: afr-error (wideband over target - 1,\n"
                          "%), afr (wideband), ignition (degrees), knock (frames with the knock flag).\n"
                          "export: the log as a tab-separated .msl file for log viewers: a names row\n"
                          "beginning with Time, a units row, time in seconds from the start.\n")
        .arg(quantityList());
}

QString logCellTableText(const LogCellTable &table) {
    QString caption;
    for (const LogQuantityName &name : logQuantityNames())
        if (name.quantity == table.quantity)
            caption = QLatin1String(name.cliName);
    return QStringLiteral("%1 per cell (%2 frames placed)\n").arg(caption).arg(table.placedFrames) +
           logTableRows(table, false) + QStringLiteral("frames per cell\n") + logTableRows(table, true);
}

int runLogCommand(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    QCommandLineParser parser;
    const QCommandLineOption quantity(QStringLiteral("quantity"), QString(), QStringLiteral("name"));
    const QCommandLineOption firmware(QStringLiteral("firmware"), QString(), QStringLiteral("file"));
    const QCommandLineOption pressure(QStringLiteral("pressure"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("name"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({quantity, firmware, pressure, format, help});
    auto usage = [&](const QString &why) {
        err << "korvel-cli log: " << why << "\n" << logHelpText();
        return kLogExitBadUsage;
    };
    auto fail = [&err](const QString &why) {
        err << "korvel-cli log: " << why << '\n';
        return 1;
    };
    if (!parser.parse(QStringList{QStringLiteral("log")} + arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out << logHelpText();
        return 0;
    }
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0);
    const bool table = action == QLatin1String("table") && words.size() == 2;
    const bool exporting = action == QLatin1String("export") && words.size() == 3;
    if (!table && !exporting)
        return usage(QStringLiteral("expected 'table LOG' or 'export LOG OUT'"));
    std::optional<LogQuantity> chosen;
    if (table) {
        chosen = logQuantityOf(parser.value(quantity));
        if (!chosen)
            return usage(QStringLiteral("--quantity must be one of %1").arg(quantityList()));
    } else if (parser.value(format) != kMslFormat) {
        return usage(QStringLiteral("--format must be msl"));
    }

    QString why;
    const CsvLogContents log = readCsvLogFile(words.at(1), &why);
    if (!why.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(words.at(1), why));
    if (!log.recognised)
        return fail(QStringLiteral("%1 is not a Korvel log (line 1: %2)").arg(words.at(1), log.firstProblem));
    if (log.firstBadLine > 0)
        err << QStringLiteral("korvel-cli log: %1 of %2 lines could not be read, the first at line %3: %4\n")
                   .arg(log.badLines)
                   .arg(log.lines)
                   .arg(log.firstBadLine)
                   .arg(log.firstProblem);

    if (exporting) {
        if (const QString problem = writeFileSafely(words.at(2), mslOfLog(log)); !problem.isEmpty())
            return fail(problem);
        out << QStringLiteral("%1 frames written to %2\n").arg(log.frames.size()).arg(words.at(2));
        return 0;
    }
    std::optional<LogCellTable> cells;
    if (parser.isSet(firmware)) {
        QByteArray bytes;
        if (!sim::loadFirmwareFile(parser.value(firmware), &bytes, &why))
            return fail(why);
        const GridAxes axes = axesFromImage(*FirmwareImage::fromBytes(bytes), kLogAxesFamily);
        cells = logCellTable(log, axes, parser.isSet(pressure), *chosen);
    } else {
        cells = logCellTableByLoggedPoint(log, *chosen);
        if (!cells)
            return fail(QStringLiteral("a standard-protocol log logs no working point: give --firmware"));
    }
    out << logCellTableText(*cells);
    return 0;
}

} // namespace korvel::cli
