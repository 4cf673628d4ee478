#pragma once

#include "cli/ClosedLoopHarness.h"

#include <QByteArray>
#include <QStringList>
#include <QTextStream>

#include <vector>

namespace korvel::cli {

// `korvel-cli tune --simulate MINUTES [--seed N] [--four-point] [--air-error PERCENT] [--csv FILE]`:
// tunes the closed-loop simulated ECU on a virtual clock and prints, per
// simulated minute, how close the visited cells' mixture is to its target.
// `arguments` are those after the word "tune"; a bad command line gives 2.
int runTuneCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

QString tuneHelpText();

// The CSV table: minute,within_2pct,rms_error_pct,cells_corrected.
QByteArray tuneCsv(const std::vector<MinuteFigures> &minutes);

} // namespace korvel::cli
