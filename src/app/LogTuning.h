#pragma once

#include "app/LogReplay.h"
#include "live/CsvLogReader.h"
#include "tuning/LogCellTable.h"
#include "tuning/TuningGridModel.h"

#include <QObject>
#include <QString>

#include <optional>

namespace korvel {

class Session;

// Tuning from a recorded drive on the grid page, without the window: a CSV
// log is opened and replayed against the image in work with the session's
// settings; its proposed corrections, or a quantity of the log per cell, are
// shown on the tuning grid in place of the live values; the proposals are
// applied to the image as one undo step and sent to the ECU's RAM when it
// runs this image.
class LogTuning : public QObject {
    Q_OBJECT
public:
    // The proposals' own colour on the grid: light blue, which no tuning state uses.
    static constexpr CellColour kProposalColour{153, 204, 255};

    explicit LogTuning(Session &session, QObject *parent = nullptr);

    // Reads and replays the log; false (with the program log saying why)
    // when it cannot be read or tuning would not start.
    bool open(const QString &path);
    bool hasLog() const { return m_log.has_value(); }
    const std::optional<ReplayOutcome> &proposals() const { return m_outcome; }

    // What the grid shows: the proposals, a quantity of the log, or the live values.
    void showProposals();
    void showQuantity(LogQuantity quantity);
    void showLiveValues();

    // "Применить": the proposals into the image in one undo step, the grid
    // reloaded from it, and the tuning tables into the ECU's RAM when it is
    // connected in the fast protocol and runs this image. False when there
    // is nothing to apply or tuning runs.
    bool apply();

    // "Экспорт лога…": a log as a tab-separated .msl file; empty or the reason.
    static QString exportMsl(const QString &logPath, const QString &mslPath);

signals:
    void changed();

private:
    void writeToEcu(int attemptsLeft);

    Session &m_session;
    std::optional<CsvLogContents> m_log;
    std::optional<ReplayOutcome> m_outcome;
    QByteArray m_replayedImage; // the image the proposals were made against
};

inline const QString kLogUnreadable = QStringLiteral("Лог %1 не прочитан: %2");
inline const QString kLogPartlyRead = QStringLiteral("Лог %1: не прочитано строк %2, первая — строка %3 (%4)");
inline const QString kLogReplayed = QStringLiteral("Настройка по логу %1: %2 кадров, исправлено ячеек %3");
inline const QString kLogTuningDidNotStart = QStringLiteral("Настройка по логу не запустилась");
inline const QString kLogProposalsApplied = QStringLiteral("Поправки по логу записаны в прошивку: ячеек %1");
inline const QString kLogProposalsStale =
    QStringLiteral("Поправки по логу не применены: прошивка изменилась после настройки по логу");
inline const QString kLogProposalsWhileTuning =
    QStringLiteral("Поправки по логу не применены: идёт автоматическая настройка");
inline const QString kLogProposalsToEcu = QStringLiteral("Поправки по логу записываются в ЭБУ");
inline const QString kLogProposalsEcuBusy = QStringLiteral("ЭБУ занят: поправки по логу не записаны в ЭБУ");

} // namespace korvel
