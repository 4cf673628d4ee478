#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace korvel::launcher {

// The folder korvel runs in, as the launcher found or made it.
struct WorkFolder {
    QString path;
    // The shipped files copied in on this start; empty when the folder was
    // ready already (then the user needs no first-run message).
    QStringList copied;
    // Why the folder cannot be used; empty when it can.
    QString error;
};

// The folder the launcher last used, or `home`/Korvel on first use.
QString rememberedWorkFolder(const QSettings &settings, const QString &home);

// Opens the user's working folder: `chosen` when given, else the remembered
// one, else `home`/Korvel; remembers it for the next start. A folder without
// config.ini is created when missing and gets the shipped files it lacks from
// `dataDir`; a folder holding config.ini is used as it is, so the user's files
// are never overwritten.
WorkFolder openWorkFolder(QSettings &settings, const QString &home, const QString &dataDir, const QString &chosen = {});

} // namespace korvel::launcher
