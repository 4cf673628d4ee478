#include "app/StatusController.h"

#include "app/CatalogController.h"
#include "app/LinkWorkers.h"
#include "app/SessionTimers.h"
#include "app/StatusRules.h"
#include "app/ViewState.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "tuning/TuningTables.h"

namespace korvel {

StatusController::StatusController(SessionTimers &timers, const LinkWorkers &workers, const FirmwareStore &store,
                                   const FirmwareIdentity &identity, const TuningTables &tables, ControlBoard &controls,
                                   ViewState &view, const CatalogController &catalog)
    : m_timers(timers), m_workers(workers), m_store(store), m_identity(identity), m_tables(tables),
      m_controls(controls), m_view(view), m_catalog(catalog) {
    connect(&timers.StatusTimerTimerr, &QTimer::timeout, this, &StatusController::onTick);
}

bool StatusController::tuningAllowed() const {
    return m_tuningOffered && m_store.FirmwareLoaded() && identityArea(m_identity).tuningAllowed;
}

void StatusController::onTick() {
    if (!m_workers.created())
        return;
    const TECUThread &ecu = m_workers.ecu();
    const TLAMBDAThread &lambda = m_workers.lambda();
    StatusBarState bar = m_view.statusBar();
    paintLinkAreas(bar, {bar.panelText[0], ecu.IsComConnected.load() == 1, ecu.IsECUConnected.load() == 1,
                         m_protocol == Protocol::Fast, lambda.ComConnect.load(), lambda.PortName.load()});
    paintIdentityArea(bar, identityArea(m_identity));
    paintWriteProgress(bar, ecu.writeBlocksDone.load(), ecu.writeBlocksTotal.load());
    const QStringList &choices = m_tables.gridChoices();
    const int choice = m_tables.gridChoice();
    ButtonFacts facts;
    facts.tuningAllowed = tuningAllowed();
    facts.mapLoaded = m_catalog.mapLoaded();
    facts.selectedGridChoice = choice >= 0 && choice < choices.size() ? choices.at(choice) : QString();
    facts.openTableKind = m_catalog.selection().kind;
    applyButtonRules(m_controls, facts);
    if (ecu.IsComConnected.load() != 1)
        m_timers.engineTimer.stop();
    m_view.setStatusBar(bar);
}

} // namespace korvel
