#include "launcher/WorkFolder.h"

#include "launcher/ShippedData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace korvel::launcher {
namespace {

const QString kSettingKey = QStringLiteral("workFolder");

// Copies the shipped files the folder lacks; an error text when one fails.
QString fillFrom(const QString &dataDir, const QDir &folder, QStringList *copied) {
    for (const QString &name : shippedFiles()) {
        const QString from = QDir(dataDir).filePath(name);
        const QString to = folder.filePath(name);
        if (QFileInfo::exists(to))
            continue;
        if (!QFileInfo::exists(from)) {
            if (requiredShippedFiles().contains(name))
                return QStringLiteral("The shipped file %1 is missing.").arg(QDir::toNativeSeparators(from));
            continue; // an optional one (the demo firmware or map) the build did not make
        }
        if (!QFile::copy(from, to))
            return QStringLiteral("Cannot copy %1 into %2.").arg(name, QDir::toNativeSeparators(folder.path()));
        // Installed data is read-only; the user's copies must be editable.
        QFile(to).setPermissions(QFile(to).permissions() | QFileDevice::WriteOwner);
        copied->append(name);
    }
    return {};
}

} // namespace

QString rememberedWorkFolder(const QSettings &settings, const QString &home) {
    const QString remembered = settings.value(kSettingKey).toString();
    return remembered.isEmpty() ? QDir(home).filePath(QStringLiteral("Korvel")) : remembered;
}

WorkFolder openWorkFolder(QSettings &settings, const QString &home, const QString &dataDir, const QString &chosen) {
    WorkFolder result;
    result.path =
        QDir::cleanPath(QDir(home).absoluteFilePath(chosen.isEmpty() ? rememberedWorkFolder(settings, home) : chosen));
    const QDir folder(result.path);
    if (!folder.exists(QStringLiteral("config.ini"))) {
        if (!QDir().mkpath(result.path)) {
            result.error =
                QStringLiteral("Cannot create the working folder %1.").arg(QDir::toNativeSeparators(result.path));
            return result;
        }
        result.error = fillFrom(dataDir, folder, &result.copied);
        if (!result.error.isEmpty())
            return result;
    }
    settings.setValue(kSettingKey, result.path);
    settings.sync();
    return result;
}

} // namespace korvel::launcher
