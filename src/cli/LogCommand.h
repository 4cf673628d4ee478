#pragma once

#include "tuning/LogCellTable.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace korvel::cli {

// `korvel-cli log table LOG --quantity NAME [--firmware FW.bin]` prints the
// mean and the count of a quantity per tuning cell; `korvel-cli log export
// LOG --format msl OUT.msl` writes the log for log viewers. `arguments` are
// those after the word "log"; a bad command line gives 2.
int runLogCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

QString logHelpText();

// The two 16 x 16 tables as printed: the means (for knock the knocking
// frames), then the counts; load rows top down from row 0, columns by
// engine speed, as the grid page shows them. An empty cell prints ".".
QString logCellTableText(const LogCellTable &table);

} // namespace korvel::cli
