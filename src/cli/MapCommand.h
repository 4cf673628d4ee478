#pragma once

#include <QStringList>
#include <QTextStream>

namespace korvel::cli {

// `korvel-cli map dump FILE` prints a calibration map as text (exit status 1
// when the map cannot be read or its walk stopped early, the dump printed
// anyway); `korvel-cli map build DESCRIPTION OUT` writes a map from a
// description (UTF-8 or Windows-1251 text, format in firmware/MapBuilder.h).
// `arguments` are those after the word "map"; a bad command line gives 2.
int runMapCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

QString mapHelpText();

} // namespace korvel::cli
