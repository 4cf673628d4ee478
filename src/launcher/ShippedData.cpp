#include "launcher/ShippedData.h"

#include <QDir>

namespace korvel::launcher {
namespace {

QString fromEnvironment(const char *name, const QString &otherwise) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? otherwise : value;
}

} // namespace

QString shippedDataDir(const QString &binaryDir) {
    return fromEnvironment("KORVEL_DATA_DIR", QDir::cleanPath(binaryDir + QStringLiteral("/../share/korvel")));
}

QString korvelProgram(const QString &binaryDir) {
    return fromEnvironment("KORVEL_PROGRAM", QDir(binaryDir).filePath(QStringLiteral("korvel")));
}

const QStringList &shippedFiles() {
    static const QStringList files = {QStringLiteral("config.ini"),        QStringLiteral("hexdata.cfg"),
                                      QStringLiteral("errors.cfg"),        QStringLiteral("doNOTchange.cfg"),
                                      QStringLiteral("demo-firmware.bin"), QStringLiteral("demo-map.j5")};
    return files;
}

const QStringList &requiredShippedFiles() {
    static const QStringList files = {QStringLiteral("config.ini"), QStringLiteral("hexdata.cfg"),
                                      QStringLiteral("errors.cfg")};
    return files;
}

} // namespace korvel::launcher
