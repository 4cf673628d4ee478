#include "firmware/FirmwareFiles.h"

#include "core/ControlBoard.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace korvel {
namespace {

qsizetype lastSeparator(const QString &path) {
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

QString fileNameOf(const QString &path) {
    return path.mid(lastSeparator(path) + 1);
}

// The automatic save name is a file name in the run's folder: a setting that
// names a path ("C:\fw\j5ls.bin") contributes its file name only.
QString saveFileName(FirmwareIdentity &identity, const QDateTime &now) {
    if (identity.DefaultFirmwareFileName().isEmpty())
        identity.setDefaultFirmwareFileName(automaticSaveName(identity.FirmwareTypeName(), now));
    return fileNameOf(identity.DefaultFirmwareFileName());
}

Outcome<QString> writeImage(const QString &path, const FirmwareImage &image) {
    const QString why = writeFileSafely(path, image.bytes());
    return why.isEmpty() ? Outcome<QString>::success(path) : Outcome<QString>::failure(why);
}

Outcome<QString> saveIntoLogDirectory(const FirmwareImage &image, const QString &name, LogDirectory &logDirectory,
                                      const QDateTime &now) {
    const QString dir = logDirectory.ensure(now);
    if (dir.isEmpty())
        return Outcome<QString>::failure(QStringLiteral("Не удалось создать папку %1").arg(logDirectory.name()));
    return writeImage(QDir(dir).filePath(name), image);
}

} // namespace

QString labelName(const QString &path) {
    const QString name = fileNameOf(path);
    const qsizetype dot = path.indexOf(QLatin1Char('.'));
    if (dot < 0 || dot >= name.size())
        return name;
    return name.left(dot);
}

std::optional<FirmwareImage> readFirmwareFile(const QString &path, ProgramLog &log, SizeLine sizeLine) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        log.append(kLogNotLoaded);
        log.append(file.errorString());
        return std::nullopt;
    }
    if (sizeLine == SizeLine::Always || file.size() != kFirmwareSize)
        log.append(QStringLiteral("Размер файла:%1").arg(file.size()));
    if (file.size() != kFirmwareSize) {
        log.append(kLogNotLoaded);
        log.append(kLogMustBe64k);
        return std::nullopt;
    }
    std::optional<FirmwareImage> image = FirmwareImage::fromBytes(file.read(kFirmwareSize));
    if (!image) { // the file shrank or failed while being read
        log.append(kLogNotLoaded);
        log.append(kLogMustBe64k);
    }
    return image;
}

bool openFirmware(const QString &path, FirmwareStore &store, FirmwareIdentity &identity, ProgramLog &log,
                  ControlBoard *board) {
    const std::optional<FirmwareImage> image = readFirmwareFile(path, log);
    if (!image)
        return false;
    store.loadImage(*image);
    log.append(QStringLiteral("Прошивка загружена ") + path);
    if (board)
        board->setText(kFirmwareLabel, QStringLiteral("Прошивка:") + labelName(path));
    identity.ImageSwid(store.image());
    return true;
}

bool loadDefaultFirmware(const QString &path, const QString &shownName, FirmwareStore &store,
                         FirmwareIdentity &identity, ProgramLog &log, ControlBoard *board) {
    const std::optional<FirmwareImage> image = readFirmwareFile(path, log, SizeLine::WhenWrong);
    if (!image)
        return false;
    store.loadImage(*image);
    if (board)
        board->setText(kFirmwareLabel, QStringLiteral("Прошивка:") + shownName);
    identity.ImageSwid(store.image());
    return true;
}

bool openComparison(const QString &path, FirmwareStore &store, ProgramLog &log, ControlBoard *board) {
    const std::optional<FirmwareImage> image = readFirmwareFile(path, log);
    if (!image)
        return false;
    store.loadComparison(*image);
    if (board) {
        board->setVisible(kComparisonCheckBox, true);
        board->setText(kComparisonCheckBox, QStringLiteral("Вторая прошивки: ") + labelName(path));
    }
    return true;
}

Outcome<QString> saveFirmwareAs(const QString &chosenName, const FirmwareImage &image) {
    return writeImage(chosenName + QStringLiteral(".bin"), image);
}

QString swidLogLine(const QString &imageSwid) {
    return QStringLiteral("SWID[ ") + imageSwid + QLatin1Char(']');
}

std::optional<QString> complectationMismatch(const QString &imageComplectation, const QString &ecuComplectation,
                                             bool swidMatch) {
    if (imageComplectation == ecuComplectation)
        return std::nullopt;
    return swidMatch ? QStringLiteral("Комплектация не совпадает")
                     : QStringLiteral("Комплектация и тип прошивки(SWID) не совпадают");
}

Outcome<QString> FirmwareSave(const FirmwareStore &store, FirmwareIdentity &identity, LogDirectory &logDirectory,
                              const QDateTime &now) {
    if (!store.FirmwareLoaded())
        return Outcome<QString>::failure(QStringLiteral("Прошивка не загружена"));
    return saveIntoLogDirectory(store.image(), saveFileName(identity, now), logDirectory, now);
}

Outcome<QString> saveFirmwareReadFromEcu(const FirmwareStore &store, FirmwareIdentity &identity,
                                         LogDirectory &logDirectory, ProgramLog &log, const QDateTime &now) {
    identity.setDefaultFirmwareFileName(QStringLiteral("ECU_") + saveFileName(identity, now));
    const Outcome<QString> saved =
        saveIntoLogDirectory(store.image(), identity.DefaultFirmwareFileName(), logDirectory, now);
    // Reported only once it is true: a full disk must not read as a saved firmware.
    log.append(saved ? QStringLiteral("Прошивка сохранена")
                     : QStringLiteral("Прошивка не сохранена: ") + saved.error());
    return saved;
}

} // namespace korvel
