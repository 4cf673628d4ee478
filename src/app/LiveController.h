#pragma once

#include "live/LiveSettings.h"

#include <QObject>

namespace korvel {

class FirmwareController;
class FirmwareIdentity;
class FirmwareStore;
class LinkWorkers;
class LiveLoop;
class SessionTimers;
class ViewState;

// The per-frame work while connected: engineTimer decodes the worker's
// latest frame, Timer2 refreshes the exchange statistics and saves the image,
// Timer1 asks for the tuning grid to be redrawn.
class LiveController : public QObject {
    Q_OBJECT
public:
    LiveController(SessionTimers &timers, LinkWorkers &workers, LiveLoop &live, const FirmwareStore &store,
                   const FirmwareIdentity &identity, FirmwareController &firmware, ViewState &view);

    // The live view settings of this connection (they cannot change while connected).
    void setSettings(const LiveSettings &settings) { m_settings = settings; }

    // Around a firmware dialog the per-frame work and the automatic save
    // stop; what ran before resumes after it.
    struct HeldWork {
        bool engine = false;
        bool autoSave = false;
    };
    HeldWork hold();
    void resume(HeldWork held);

signals:
    // A processed engine tick (the panels were refreshed).
    void liveUpdated();
    // The engine tick processed a new frame: charts and acceleration step follow.
    void frameProcessed();
    // Timer1: whatever shows the tuning grid redraws it from the image.
    void gridRepaintRequested();

private:
    void onEngineTick();
    void onStatisticsTick();
    void onRepaintTick();

    SessionTimers &m_timers;
    LinkWorkers &m_workers;
    LiveLoop &m_live;
    const FirmwareStore &m_store;
    const FirmwareIdentity &m_identity;
    FirmwareController &m_firmware;
    ViewState &m_view;
    LiveSettings m_settings;
};

} // namespace korvel
