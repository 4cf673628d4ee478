#pragma once

#include "app/SessionTimers.h"
#include "app/TuningController.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "core/SettingsList.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/EngineTick.h"
#include "live/TuningTrace.h"
#include "tuning/TuningTables.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <map>

namespace korvel::cli {

// The session's tuning parts for one connection, without a window, links or
// event loop: the engine tick that decodes each diagnostic frame, the tuning
// controller with its write-back timers, and the settings as config.ini ships
// them. Time is whatever the caller says: the write-back timers fire when the
// virtual clock passes their interval. ECU writes go to `writes`.
class TuningSessionCore {
public:
    TuningSessionCore(const QByteArray &ecuImage, TuningWrites &writes, bool fourPoint);

    // TButTune. False, with the log saying why, when tuning did not start.
    bool startTuning();
    // One engine tick at `seconds` on the virtual clock: the timers that came
    // due fire, then the frame is decoded with the wideband's reading and tuned.
    void tick(double seconds, const QByteArray &frame, double widebandAfr);

    const TuningController &tuning() const { return m_tuning; }
    const ProgramLog &log() const { return m_log; }
    std::int64_t correctionTable() const { return m_tables.addressSets().air().correctionTable; }

private:
    void fireDueTimers(double seconds);

    QTemporaryDir m_dir;
    SessionTimers m_timers;
    SettingsList m_settings;
    ProgramLog m_log;
    ControlBoard m_board;
    ViewState m_view;
    FirmwareStore m_store{&m_log, &m_board};
    FirmwareIdentity m_identity;
    TuningTables m_tables{m_store, m_identity, m_log, &m_board};
    TuningController m_tuning{{m_timers, m_settings, m_log, m_board, m_view, m_store, m_identity, m_tables},
                              {[] { return true; }, nullptr, nullptr}};
    EngineTick m_engine{m_board};
    LiveSettings m_liveSettings;
    PressureSensor m_pressureSensor;
    TuningTrace m_trace;
    int m_numlog = 0;
    std::map<QTimer *, double> m_due; // the virtual time each running write-back timer fires at
};

} // namespace korvel::cli
