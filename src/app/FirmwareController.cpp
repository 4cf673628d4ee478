#include "app/FirmwareController.h"

#include "app/ViewState.h"
#include "core/ProgramLog.h"
#include "firmware/Complectation.h"
#include "firmware/FirmwareFiles.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "tuning/TuningTables.h"

#include <QTimer>

namespace korvel {
namespace {
const QString kNotSaved = QStringLiteral("Прошивка не сохранена: ");
// The pause between the SWID comparison and the table rewrite.
constexpr int kRewriteDelayMs = 100;
} // namespace

FirmwareController::FirmwareController(FirmwareStore &store, FirmwareIdentity &identity, TuningTables &tables,
                                       LogDirectory &logDirectory, ProgramLog &log, ControlBoard &controls,
                                       ViewState &view, LinkProbe link)
    : m_store(store), m_identity(identity), m_tables(tables), m_logDirectory(logDirectory), m_log(log),
      m_controls(controls), m_view(view), m_link(std::move(link)) {
    // A match of the image with the ECU saves the image once, here.
    m_identity.setAutoSave([this] { autoSave(); });
}

bool FirmwareController::openFirmware(const QString &path) {
    const LinkFacts link = m_link();
    if (!korvel::openFirmware(path, m_store, m_identity, m_log, &m_controls))
        return false;
    if (link.connected)
        m_log.append(swidLogLine(m_identity.imageSwid()));
    if (link.connected && m_identity.swidMatch())
        QTimer::singleShot(kRewriteDelayMs, this, [this] {
            if (m_link().connected && m_identity.swidMatch())
                emit tablesToRewrite();
        });
    m_tables.reloadFromImage();
    emit imageReplaced();
    if (link.connected) {
        if (const auto message = complectationMismatch(ImageComplectationString(m_store.image()), link.ecuComplectation,
                                                       m_identity.swidMatch()))
            emit m_view.messageRequested(*message);
    }
    return true;
}

bool FirmwareController::loadDefaultFirmware(const QString &path, const QString &shownName) {
    // The post-connect set-up builds the tables from it later.
    return korvel::loadDefaultFirmware(path, shownName, m_store, m_identity, m_log, &m_controls);
}

bool FirmwareController::openComparison(const QString &path) {
    return korvel::openComparison(path, m_store, m_log, &m_controls);
}

QString FirmwareController::saveFirmwareAs(const QString &chosenName) {
    if (!m_store.FirmwareLoaded()) {
        m_log.append(kLogNotLoaded);
        return QString();
    }
    const Outcome<QString> saved = korvel::saveFirmwareAs(chosenName, m_store.image());
    if (!saved) {
        m_log.append(kNotSaved + saved.error());
        return QString();
    }
    return saved.value();
}

void FirmwareController::undoFirmware() {
    if (!m_store.UndoStep())
        return;
    // The restored image may be one loaded before the current file: its own
    // SWID decides the match, or tuning could write it into the wrong ECU.
    m_identity.ImageSwid(m_store.image());
    emit imageRestored();
}

void FirmwareController::reidentifyKeptImage() {
    if (m_store.FirmwareLoaded())
        m_identity.ImageSwid(m_store.image());
}

bool FirmwareController::autoSave() {
    const Outcome<QString> saved = FirmwareSave(m_store, m_identity, m_logDirectory);
    if (saved)
        emit imageSaved(saved.value());
    else if (m_store.FirmwareLoaded())
        m_log.append(kNotSaved + saved.error());
    return saved.ok();
}

} // namespace korvel
