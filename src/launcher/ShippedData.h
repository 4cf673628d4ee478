#pragma once

#include <QString>
#include <QStringList>

namespace korvel::launcher {

// Where the installed program keeps the files a new working folder starts
// with: share/korvel beside the bin/ folder of `binaryDir`, or the folder
// named by KORVEL_DATA_DIR (a build tree, the tests).
QString shippedDataDir(const QString &binaryDir);

// The korvel program the launcher starts: the one beside it, or the one named
// by KORVEL_PROGRAM.
QString korvelProgram(const QString &binaryDir);

// The shipped files a new working folder gets, and those of them korvel
// cannot start without.
const QStringList &shippedFiles();
const QStringList &requiredShippedFiles();

} // namespace korvel::launcher
