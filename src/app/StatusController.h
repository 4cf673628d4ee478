#pragma once

#include "core/Protocol.h"

#include <QObject>

namespace korvel {

class CatalogController;
class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class LinkWorkers;
class SessionTimers;
class TuningTables;
class ViewState;

// The status timer (StatusTimerTimerr): every 50 ms it paints the link areas
// and the identity area of the status bar and applies the button rules, all
// decided from the session's data, never from what the controls show.
class StatusController : public QObject {
    Q_OBJECT
public:
    StatusController(SessionTimers &timers, const LinkWorkers &workers, const FirmwareStore &store,
                     const FirmwareIdentity &identity, const TuningTables &tables, ControlBoard &controls,
                     ViewState &view, const CatalogController &catalog);

    // "Протокол обмена" as the settings say now (the link area shows ONLINE
    // for the fast protocol, IN DIAG otherwise).
    void setProtocolSetting(Protocol protocol) { m_protocol = protocol; }
    // Whether the sequences offer tuning (after a connect's set-up, a firmware
    // read, a stop of tuning); the identity and the image still have to allow it.
    void setTuningOffered(bool offered) { m_tuningOffered = offered; }
    bool tuningOffered() const { return m_tuningOffered; }
    // Tuning may start: offered, an image loaded, and the image is the ECU's.
    bool tuningAllowed() const;

private:
    void onTick();

    SessionTimers &m_timers;
    const LinkWorkers &m_workers;
    const FirmwareStore &m_store;
    const FirmwareIdentity &m_identity;
    const TuningTables &m_tables;
    ControlBoard &m_controls;
    ViewState &m_view;
    const CatalogController &m_catalog;
    Protocol m_protocol = Protocol::Fast;
    bool m_tuningOffered = false;
};

} // namespace korvel
