#pragma once

#include "cli/ClosedLoopHarness.h"

#include <QByteArray>
#include <QStringList>
#include <QTextStream>

#include <vector>

namespace korvel::cli {

// `korvel-cli tune --simulate MINUTES [options]` (see tuneHelpText): tunes the
// closed-loop simulated ECU on a virtual clock through the session's tuning and
// prints the judge's figures per simulated minute.
// `korvel-cli tune --replay LOG ...` replays a drive's CSV log (ReplayCommand.h)
// with the settings of `workDir`.
// `arguments` are those after the word "tune"; a bad command line gives 2.
int runTuneCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const QString &workDir = {});

QString tuneHelpText();

// The CSV table: minute,within_2pct,rms_error_pct,cells_corrected,table_rms_pct,image_ram_diff_bytes.
QByteArray tuneCsv(const std::vector<MinuteFigures> &minutes);

} // namespace korvel::cli
