#pragma once

#include "app/LogReplay.h"

#include <QByteArray>
#include <QString>
#include <QTextStream>

namespace korvel::cli {

struct ReplayFiles {
    QString log;      // the drive's CSV log
    QString firmware; // the image the drive ran on; never changed
    QString out;      // the corrected image
    QString csv;      // empty: no per-cell table
};

// `korvel-cli tune --replay LOG --firmware FW.bin --out OUT.bin [--csv FILE]`:
// replays the log through the session's tuning with the working folder's
// settings, prints what each table got and writes the corrected image.
int runReplayCommand(const ReplayFiles &files, const QString &workDir, QTextStream &out, QTextStream &err);

// One line per corrected cell: table,row,column,before,after,hits,mean_error_pct.
QByteArray replayCsv(const ReplayOutcome &outcome);

} // namespace korvel::cli
