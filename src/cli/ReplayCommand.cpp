#include "cli/ReplayCommand.h"

#include "core/SafeFile.h"
#include "core/SettingsList.h"
#include "sim/EcuMemory.h"

#include <QDir>
#include <QFileInfo>

namespace korvel::cli {
namespace {

const QString kReplayConfigFile = QStringLiteral("config.ini");

QString replaySummaryLine(const ReplayedTable &table) {
    int hits = 0;
    double weightedError = 0;
    for (const ReplayedCell &cell : table.cells) {
        hits += cell.hits;
        weightedError += cell.meanErrorPct * cell.hits;
    }
    return QStringLiteral("%1 table at %2: %3 cells corrected from %4 samples, their mean error %5 %")
        .arg(replayTableName(table.table))
        .arg(QString::number(table.address, 16).toUpper().rightJustified(4, QLatin1Char('0')))
        .arg(table.cells.size())
        .arg(hits)
        .arg(hits > 0 ? weightedError / hits : 0.0, 0, 'f', 2);
}

} // namespace

QByteArray replayCsv(const ReplayOutcome &outcome) {
    QByteArray csv("table,row,column,before,after,hits,mean_error_pct\n");
    for (const ReplayedTable &table : outcome.tables)
        for (const ReplayedCell &cell : table.cells)
            csv += QStringLiteral("%1,%2,%3,%4,%5,%6,%7\n")
                       .arg(replayTableName(table.table))
                       .arg(cell.index / 16)
                       .arg(cell.index % 16)
                       .arg(cell.before)
                       .arg(cell.after)
                       .arg(cell.hits)
                       .arg(cell.meanErrorPct, 0, 'f', 3)
                       .toUtf8();
    return csv;
}

int runReplayCommand(const ReplayFiles &files, const QString &workDir, QTextStream &out, QTextStream &err) {
    auto fail = [&err](const QString &why) {
        err << "korvel-cli tune: " << why << '\n';
        return 1;
    };
    // The firmware file stays as the drive found it.
    const QFileInfo firmwareFile(files.firmware), outFile(files.out);
    if (firmwareFile.exists() && outFile.exists() && firmwareFile.canonicalFilePath() == outFile.canonicalFilePath())
        return fail(QStringLiteral("--out must not be the firmware file %1").arg(files.firmware));
    SettingsList settings;
    if (!settings.load(QDir(workDir).filePath(kReplayConfigFile)))
        return fail(
            QStringLiteral("no %1 in the working folder %2").arg(kReplayConfigFile, QDir::toNativeSeparators(workDir)));
    QByteArray image;
    QString why;
    if (!sim::loadFirmwareFile(files.firmware, &image, &why))
        return fail(why);
    const CsvLogContents log = readCsvLogFile(files.log, &why);
    if (!why.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(files.log, why));
    if (!log.recognised)
        return fail(QStringLiteral("%1 is not a Korvel log (line 1: %2)").arg(files.log, log.firstProblem));
    if (log.firstBadLine > 0)
        out << QStringLiteral("%1 of %2 lines could not be read, the first at line %3: %4\n")
                   .arg(log.badLines)
                   .arg(log.lines)
                   .arg(log.firstBadLine)
                   .arg(log.firstProblem);

    const ReplayOutcome outcome = replayCsvLog(log, image, settings, workDir);
    if (!outcome.started) {
        for (const QString &line : outcome.log)
            err << line << '\n';
        return fail(QStringLiteral("tuning did not start"));
    }
    out << QStringLiteral("replayed %1 frames, %2 s of driving\n").arg(outcome.frames).arg(outcome.seconds, 0, 'f', 1);
    for (const ReplayedTable &table : outcome.tables)
        out << replaySummaryLine(table) << '\n';
    if (const QString problem = writeFileSafely(files.out, outcome.image); !problem.isEmpty())
        return fail(problem);
    if (!files.csv.isEmpty())
        if (const QString problem = writeFileSafely(files.csv, replayCsv(outcome)); !problem.isEmpty())
            return fail(problem);
    return 0;
}

} // namespace korvel::cli
