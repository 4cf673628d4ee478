#pragma once

#include "app/SessionTimers.h"
#include "app/TuningController.h"
#include "app/ViewState.h"
#include "app/VirtualTimerClock.h"
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

// How a tuner set the session up: what config.ini ships, changed where said.
struct TuningSetup {
    Protocol protocol = Protocol::Fast;
    bool fourPoint = false;   // "Метод 4 точек"
    int neighbourPercent = 0; // "Коэф. обучения соседних РТ"
    bool byPressure = false;  // "Настройка по" = "Давлению"
    bool phase = false;       // "Настройка фазы впрыска"
    bool extended = true;     // "Расширенная автонастройка" (config.ini ships "да")
};

// The session's tuning parts for one connection, without a window, links or
// event loop: the engine tick that decodes each diagnostic frame, the tuning
// controller with its write-back timers (Timer4, Timer6, TimerFasa, TimerRW),
// and the settings as config.ini ships them. Time is whatever the caller says:
// the timers fire when the virtual clock passes their interval. ECU writes go
// to `writes`, whose busy answers the controller sees as the worker's.
class TuningSessionCore {
public:
    TuningSessionCore(const QByteArray &ecuImage, TuningWrites &writes, const TuningSetup &setup);

    // TButTune. False, with the log saying why, when tuning did not start.
    bool startTuning();
    // TButStopTune.
    void stopTuning();
    // TButReTune for the correction table being tuned: written to the ECU
    // (TimerRW, once the worker is free), then every cell loaded again from the image.
    void rewriteCorrections();
    // One engine tick at `seconds` on the virtual clock: the timers that came
    // due fire, then the frame is decoded with the wideband's reading and tuned.
    // `widebandAfr` 0 is no reading (warming up before the first one, quiet after).
    void tick(double seconds, const QByteArray &frame, double widebandAfr);
    // The same with the controller's own state: `shownAfr` is what the window
    // shows (the last reading until it expires), `wideband` what tuning judges.
    void tick(double seconds, const QByteArray &frame, double shownAfr, const WidebandSample &wideband);

    const TuningController &tuning() const { return m_tuning; }
    const ProgramLog &log() const { return m_log; }
    // The last tick as the CSV log writes it: its channels and the tuning trace.
    const EngineTick &engine() const { return m_engine; }
    const TuningTrace &trace() const { return m_trace; }
    // The image in work: what the periodic save (Timer2) writes to disk.
    QByteArray image() const;
    std::int64_t correctionTable() const { return m_tables.addressSets().air().correctionTable; }
    std::int64_t gbcTable() const { return m_tables.addressSets().air().gbcTable; }
    // The phase table, or -1 without one.
    std::int64_t phaseTable() const;

private:
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
    ShownWidebandReadings m_readings;
    VirtualTimerClock m_clock{m_timers};
};

} // namespace korvel::cli
