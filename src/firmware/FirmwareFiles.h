#pragma once

#include "core/ControlNames.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Outcome.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class LogDirectory;
class ProgramLog;

// Firmware files (".bin" serial ECUs, ".bir" engineering ECUs) hold the 65,536
// image bytes and nothing else. These are the file commands without their
// dialogs: the window asks for the path and hands it over.

inline const QString kOpenFirmwareFilter = QStringLiteral("bin/bir|*.bin;*.bir|Все файлы|*.*");
inline const QString kSaveFirmwareFilter = QStringLiteral("Прошивки|*.bin|Все файлы|*.*");
inline const QString kComparisonFilter = QStringLiteral("Прошивки|*.bin;*.bir|Все файлы|*.*");

inline const QString &kFirmwareLabel = control::Label60;
inline const QString &kComparisonCheckBox = control::vs;
inline const QString kLogNotLoaded = QStringLiteral("Прошивка НЕ загружена!");
inline const QString kLogMustBe64k = QStringLiteral("Прошивка должна быть 64кб");

// The name a label shows for a chosen path: the file name cut before the
// path's first "." (so "C:\my.dir\J5.bin" shows "J5.bi"), or the whole file
// name when that dot lies at or beyond the name's end, or there is none.
QString labelName(const QString &path);

// Reads a firmware file: logs "Размер файла:" and the size (a file opened by
// hand always, the connect's default file only when the size is wrong); any
// size but 65,536 logs the two refusal lines and yields nothing.
enum class SizeLine { Always, WhenWrong };
std::optional<FirmwareImage> readFirmwareFile(const QString &path, ProgramLog &log,
                                              SizeLine sizeLine = SizeLine::Always);

// Open firmware: the file replaces the image (FirmwareLoaded set), the log
// names it, Label60 reads "Прошивка:" + the cut name and the image SWID is
// recomputed. A refused file leaves everything as it was. The caller then runs
// its connected/offline steps (axes, tuning tables, the complectation check).
bool openFirmware(const QString &path, FirmwareStore &store, FirmwareIdentity &identity, ProgramLog &log,
                  ControlBoard *board = nullptr);

// The connect command's default firmware from `path`: the same checks (the
// size is logged only when it is wrong); Label60 reads "Прошивка:" +
// `shownName`, the file as "Прошивка по умолчанию" names it.
bool loadDefaultFirmware(const QString &path, const QString &shownName, FirmwareStore &store,
                         FirmwareIdentity &identity, ProgramLog &log, ControlBoard *board = nullptr);

// Open comparison firmware: the file becomes the comparison image, the check
// box "vs" appears with the caption "Вторая прошивки: " + the cut name.
bool openComparison(const QString &path, FirmwareStore &store, ProgramLog &log, ControlBoard *board = nullptr);

// Save as: ".bin" is always appended to the chosen name ("copy.bin" is saved
// as "copy.bin.bin"). Returns the path written, or the reason it was not.
Outcome<QString> saveFirmwareAs(const QString &chosenName, const FirmwareImage &image);

// "SWID[ " + image SWID + "]", logged after opening while connected.
QString swidLogLine(const QString &imageSwid);

// After opening while connected: the message to show when the image's
// complectation differs from the ECU's, none when they agree.
std::optional<QString> complectationMismatch(const QString &imageComplectation, const QString &ecuComplectation,
                                             bool swidMatch);

// The automatic save (every Timer2 tick while tuning, and on a SWID match):
// only with a firmware loaded; the save name is filled in when empty; the
// image goes to the run's folder under that name. Returns the path written.
Outcome<QString> FirmwareSave(const FirmwareStore &store, FirmwareIdentity &identity, LogDirectory &logDirectory,
                              const QDateTime &now = QDateTime::currentDateTime());

// The save after a completed firmware read from the ECU: as FirmwareSave, but
// "ECU_" is put in front of the save name first (again on every read), and
// "Прошивка сохранена" is logged once the file is written (otherwise
// "Прошивка не сохранена: " and the reason).
Outcome<QString> saveFirmwareReadFromEcu(const FirmwareStore &store, FirmwareIdentity &identity,
                                         LogDirectory &logDirectory, ProgramLog &log,
                                         const QDateTime &now = QDateTime::currentDateTime());

} // namespace korvel
