#include "cli/MapCommand.h"

#include "cli/MonitorOptions.h"
#include "core/SafeFile.h"
#include "core/TextFile.h"
#include "firmware/CalibrationMap.h"
#include "firmware/MapBuilder.h"
#include "firmware/MapDump.h"

#include <QFileInfo>

namespace korvel::cli {
namespace {

// The map could not be read, built or written, or its walk stopped early.
constexpr int kExitFailed = 1;

int dump(const QString &fileName, QTextStream &out, QTextStream &err) {
    const Outcome<CalibrationMap> map = LoadCalibrationMap(fileName);
    if (!map) {
        err << "korvel-cli map dump: " << map.error() << '\n';
        return kExitFailed;
    }
    out << dumpCalibrationMap(map.value(), QFileInfo(fileName).fileName());
    return BuildMapTree(map.value(), {}).stopReason.isEmpty() ? 0 : kExitFailed;
}

int build(const QString &descriptionFile, const QString &outFile, QTextStream &err) {
    TextLines description;
    if (!readTextFile(descriptionFile, description)) {
        err << "korvel-cli map build: cannot read " << descriptionFile << '\n';
        return kExitFailed;
    }
    const Outcome<QByteArray> map = buildCalibrationMap(description.lines.join(QLatin1Char('\n')));
    if (!map) {
        err << "korvel-cli map build: " << descriptionFile << ": " << map.error() << '\n';
        return kExitFailed;
    }
    const QString failure = writeFileSafely(outFile, map.value());
    if (!failure.isEmpty()) {
        err << "korvel-cli map build: " << failure << '\n';
        return kExitFailed;
    }
    return 0;
}

} // namespace

QString mapHelpText() {
    return QStringLiteral("Usage: korvel-cli map dump FILE\n"
                          "       korvel-cli map build DESCRIPTION OUT\n\n"
                          "dump   prints the catalogue tree of a calibration map (.j5, .j7) and every field\n"
                          "       of its table descriptions; status 1 when the walk stopped early\n"
                          "build  writes a calibration map from a line-based description:\n"
                          "         group LEVEL NAME | item LEVEL NAME | kind N | FIELD VALUE\n");
}

int runMapCommand(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const QString action = arguments.value(0);
    if (action == QStringLiteral("--help") || action == QStringLiteral("-h")) {
        out << mapHelpText();
        return 0;
    }
    if (action == QStringLiteral("dump") && arguments.size() == 2)
        return dump(arguments[1], out, err);
    if (action == QStringLiteral("build") && arguments.size() == 3)
        return build(arguments[1], arguments[2], err);
    err << "korvel-cli map: expected 'dump FILE' or 'build DESCRIPTION OUT'\n"
        << "Try 'korvel-cli map --help'.\n";
    return kExitUsage;
}

} // namespace korvel::cli
