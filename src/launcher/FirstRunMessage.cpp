#include "launcher/FirstRunMessage.h"

#include <QDir>

namespace korvel::launcher {

QString firstRunMessage(const QString &folder) {
    return QStringLiteral("Your working folder is %1.\n"
                          "It holds the settings (config.ini) and data files that Korvel Online starts with; the logs, "
                          "screenshots and firmware saves of every run go into it too. For several cars keep a folder "
                          "each and start korvel inside one (cd FOLDER && korvel), or make another folder the "
                          "launcher's with korvel-launcher --folder FOLDER.\n"
                          "\n"
                          "The K-line adapter and the wideband controller are serial devices. To open them your user "
                          "must be in the dialout group: sudo adduser $USER dialout, then log out and in again.\n"
                          "In the settings (\"Ecu com\", \"LC-1 Com\") name each device by its stable name under "
                          "/dev/serial/by-id/ (ls -l /dev/serial/by-id/ lists the plugged-in ones): /dev/ttyUSB0 and "
                          "the like change when devices are plugged in another order.")
        .arg(QDir::toNativeSeparators(folder));
}

} // namespace korvel::launcher
