#include "app/LogTuning.h"

#include "app/Session.h"
#include "app/TuningController.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "core/SettingNames.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/MslExport.h"
#include "tuning/TuningTables.h"

#include <QDir>
#include <QTimer>

namespace korvel {
namespace {

// A busy ECU worker is asked again a second later, a few times, as the write-back does.
constexpr int kLogEcuRetryMs = 1000;
constexpr int kLogEcuAttempts = 5;

QString logShownName(const QString &path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

LogTuning::LogTuning(Session &session, QObject *parent) : QObject(parent), m_session(session) {}

bool LogTuning::open(const QString &path) {
    ProgramLog &log = m_session.log();
    QString why;
    CsvLogContents contents = readCsvLogFile(path, &why);
    if (why.isEmpty() && !contents.recognised)
        why = contents.firstProblem;
    if (!why.isEmpty()) {
        log.append(kLogUnreadable.arg(logShownName(path), why));
        return false;
    }
    if (contents.firstBadLine > 0)
        log.append(kLogPartlyRead.arg(logShownName(path))
                       .arg(contents.badLines)
                       .arg(contents.firstBadLine)
                       .arg(contents.firstProblem));
    const QByteArray image = m_session.firmware().image().bytes();
    ReplayOutcome outcome = replayCsvLog(contents, image, m_session.settings(), m_session.workDir());
    if (!outcome.started) {
        for (const QString &line : outcome.log)
            log.append(line);
        log.append(kLogTuningDidNotStart);
        return false;
    }
    log.append(kLogReplayed.arg(logShownName(path)).arg(outcome.frames).arg(outcome.correctedCells()));
    m_log = std::move(contents);
    m_outcome = std::move(outcome);
    m_replayedImage = image;
    showProposals();
    return true;
}

void LogTuning::showProposals() {
    if (!m_outcome)
        return;
    TuningGridModel::Overlay overlay;
    overlay.colour = kProposalColour;
    // The correction table's proposals: the new correction, byte / 128.
    for (const ReplayedTable &table : m_outcome->tables) {
        if (table.table != ReplayTable::Correction)
            continue;
        for (const ReplayedCell &cell : table.cells) {
            const double value = cell.after / 128.0;
            overlay.cells[static_cast<std::size_t>(cell.index)] = TuningCellView{value, QString::number(value, 'f', 3)};
        }
    }
    m_session.tuningGridModel().setOverlay(overlay);
    emit changed();
}

void LogTuning::showQuantity(LogQuantity quantity) {
    if (!m_log)
        return;
    const bool byPressure = m_session.settings().value(setting::TuneBy) == setting::TuneByPressure;
    const LogCellTable table = logCellTable(*m_log, m_session.tables().axes(), byPressure, quantity);
    TuningGridModel::Overlay overlay;
    const int decimals = quantity == LogQuantity::Knock ? 0 : quantity == LogQuantity::Ignition ? 1 : 2;
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        const LogCell &cell = table.cells[static_cast<std::size_t>(i)];
        if (cell.count > 0)
            overlay.cells[static_cast<std::size_t>(i)] =
                TuningCellView{cell.value, QStringLiteral("%1 (%2)").arg(cell.value, 0, 'f', decimals).arg(cell.count)};
    }
    m_session.tuningGridModel().setOverlay(overlay);
    emit changed();
}

void LogTuning::showLiveValues() {
    m_session.tuningGridModel().setOverlay(std::nullopt);
    emit changed();
}

bool LogTuning::apply() {
    ProgramLog &log = m_session.log();
    if (!m_outcome || m_outcome->correctedCells() == 0)
        return false;
    if (m_session.tuning().tuningOn()) {
        log.append(kLogProposalsWhileTuning);
        return false;
    }
    FirmwareStore &store = m_session.firmware();
    if (store.image().bytes() != m_replayedImage) {
        log.append(kLogProposalsStale);
        return false;
    }
    store.pushUndoStep();
    for (const ReplayedTable &table : m_outcome->tables)
        store.storeBytes(table.address, m_outcome->image.mid(table.address, TuningGrid::kCells));
    m_session.tables().addtabl();
    log.append(kLogProposalsApplied.arg(m_outcome->correctedCells()));
    m_outcome.reset(); // applied: the image has them now
    m_replayedImage.clear();
    showLiveValues();

    const FirmwareIdentity &identity = m_session.identity();
    const bool fast = m_session.settings().value(setting::Protocol) == setting::FastProtocol;
    const bool connected = m_session.workers().created() && m_session.workers().ecu().isConnected();
    if (connected && fast && identity.imageSwid() == identity.ecuSwid() && identity.ecuSwidValid())
        writeToEcu(kLogEcuAttempts);
    return true;
}

void LogTuning::writeToEcu(int attemptsLeft) {
    if (m_session.rewriteTablesToEcu()) {
        m_session.log().append(kLogProposalsToEcu);
        return;
    }
    if (attemptsLeft <= 1) {
        m_session.log().append(kLogProposalsEcuBusy);
        return;
    }
    QTimer::singleShot(kLogEcuRetryMs, this, [this, attemptsLeft] { writeToEcu(attemptsLeft - 1); });
}

QString LogTuning::exportMsl(const QString &logPath, const QString &mslPath) {
    QString why;
    const CsvLogContents log = readCsvLogFile(logPath, &why);
    if (!why.isEmpty())
        return why;
    if (!log.recognised)
        return log.firstProblem;
    return writeFileSafely(mslPath, mslOfLog(log));
}

} // namespace korvel
