#pragma once

#include "core/Protocol.h"
#include "ecu/EcuResults.h"
#include "lambda/WidebandValue.h"
#include "tuning/Accumulator.h"
#include "tuning/CorrectionAuthority.h"
#include "tuning/DelayProbe.h"
#include "tuning/ExtendedTuningSettings.h"
#include "tuning/FourPointMethod.h"
#include "tuning/GridView.h"
#include "tuning/OwedBytes.h"
#include "tuning/SampleGate.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningSettings.h"
#include "tuning/WorkingPoint.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace korvel {

class ControlBoard;
class EngineTick;
class FirmwareIdentity;
class FirmwareStore;
class ProgramLog;
class SessionTimers;
class SettingsList;
class TuningTables;
class TuningWrites;
class ViewState;
struct TuningTrace;

// The tuner's clock and the wideband controller's state at one processed
// tick: wall time in the window, virtual time in a simulation or a replay.
struct TuningInstant {
    double seconds = 0;
    WidebandSample wideband;
};

// Online tuning while connected: the working point and the accumulation on
// every processed engine tick, the write-back timers (Timer4 cycle filling,
// Timer6 neighbours' learning, TimerFasa phase, TimerRW editor tables), the
// start, stop and rewrite commands and the part-load ignition rework. It owns
// no widget: the window binds the buttons, and the ECU writes go through a
// TuningWrites the session connects to the ECU worker.
class TuningController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SessionTimers &timers;
        const SettingsList &settings;
        ProgramLog &log;
        ControlBoard &controls;
        ViewState &view;
        FirmwareStore &store;
        const FirmwareIdentity &identity;
        TuningTables &tables;
    };
    struct Probes {
        std::function<bool()> linkUp;              // serial port and ECU connected
        std::function<void(bool)> offerTuning;     // TButTune may be offered again (false while tuning)
        std::function<void()> showSmallDiagnostic; // the action of TButshowSmallDia
    };

    TuningController(Parts parts, Probes probes, QObject *parent = nullptr);

    void setWrites(TuningWrites *writes) { m_writes = writes; }

    // Before a connection opens its port: the protocol, the four-point store
    // with its settings (cleared), the remembered cell, the minimum throttle
    // and the neighbour interval. A setting that does not parse is logged and
    // the store keeps its previous settings.
    void startConnection(Protocol protocol);

    // TButTune. False (nothing started) when a tuning setting or interval
    // does not parse; the log names it.
    bool startTuning();
    // TButStopTune: samples, cells and the image stay as they are. Corrections
    // the ECU's RAM does not hold yet go out first: while the worker is busy,
    // Timer4 stays on (every second) until they are handed over.
    void stopTuning();
    // How a table write went: the bytes of a tuned table that a failed
    // request left unwritten are owed again and go out at the next free
    // hand-over.
    void takeWriteResult(const EcuWriteResult &result);
    // The bytes of the tuned tables that the image holds and RAM may not.
    const OwedBytes &owedCorrections() const { return m_owedCorrection; }
    const OwedBytes &owedGbc() const { return m_owedGbc; }
    // The load axis tuning works on: the one of the correction table being
    // tuned (pressure only without the air-flow sensor and by pressure).
    bool loadByPressure();
    // The four-point method replaces the accumulation: taken when tuning
    // starts, the setting itself while tuning is off.
    bool fourPointMethod() const { return tuningOn() ? m_fourPointRun : m_settings.fourPoint; }
    // A firmware file opened while connected: the counters start again, and
    // the engine tick and the write-back pause for a moment around the new
    // image (the neighbours' write-back resumes too while it was running).
    void imageOpenedWhileConnected();
    bool tuningOn() const { return m_accumulator.tuningOn(); }
    // TButReTune / BitBtn6: the shown table is written to the ECU (TimerRW),
    // then every cell is loaded again from the image.
    void reTune(std::int64_t tableAddress, int size);
    // The editor's table write: TimerRW writes it once the worker is free.
    void scheduleTableWrite(std::int64_t address, int size);

    // BitBtn15 and Button7: the part-load ignition rework and its write.
    void reworkIgnition();
    void writeIgnition();

    // One engine tick after the frame was decoded: the working point always,
    // the tuning of the active method and the statistics on a new request.
    // With "Расширенная автонастройка" every sample passes the gate first:
    // the filters, and the reading paired with the frame one transport delay
    // before it.
    void engineStep(EngineTick &engine, bool newRequest, TuningTrace &trace, const TuningInstant &now);

    // The extended tuning of the running (or last) tuning.
    bool extendedOn() const { return m_extendedRun; }
    // Ticks refused and why, overall and per cell, since the connection started.
    const RefusalCounts &refusals() const { return m_gate.counts(); }
    // The cell the last frame lay in, as tuning assigns it (-1 none).
    int currentCell() const { return m_gate.currentCell(); }
    // The wideband's delay measured from the drive's steps in injection pulse.
    const DelayProbe &delayProbe() const { return m_delayProbe; }
    // The delay curve tuning uses now ("Задержка ШДК(об/мин:мс)").
    const DelayCurve &delayCurve() const { return m_extended.delay; }
    // A tuner locks or unlocks a cell of the tuning grid.
    void setCellLocked(int cell, bool locked);

    const WorkingPoint &workingPoint() const { return m_point; }
    // PanelTest: the working point with the correction the ECU interpolates around it.
    InterpolatedCorrection panelTest() const;
    Accumulator &accumulator() { return m_accumulator; }
    const Accumulator &accumulator() const { return m_accumulator; }
    const FourPointMethod &fourPoint() const { return m_fourPoint; }
    // FindpointTTimer: the highlighted cell (or four-point block) and the
    // scale of the shown values; the scale labels when "Показывать min/max" is "да".
    const TuningGridModel::Marking &marking() const { return m_marking; }
    const std::optional<QStringList> &scaleLabels() const { return m_scaleLabels; }
    // The grid's corner cell: "ОК" + evaluations of the last evaluated cell
    // (the diagonal corner in the four-point method); empty while waiting.
    const QString &cornerText() const {
        return fourPointMethod() ? m_fourPoint.cornerText() : m_accumulator.cornerText();
    }
    // Status panel 5.
    QString statusText() const { return m_accumulator.counters().statusText(); }

signals:
    // Cells or the image changed: the grid and the calibration view redraw.
    void gridChanged();
    // The highlight timer marked the grid again.
    void markingChanged();

private:
    void onTimer4();
    void onTimer6();
    void onTimerFasa();
    void onTimerRW();
    void onFindPoint();
    bool writeBackAllowed() const;
    std::int64_t phaseTable() const;
    void refreshTargets();
    // The owed bytes out when the worker is free (everything owed with `force`);
    // true when nothing stays owed.
    bool handOverOwed(bool force);
    GateSettings gateSettings() const;
    void writeGbcTable(int taken);

    Parts m_parts;
    Probes m_probes;
    TuningWrites *m_writes = nullptr;
    Protocol m_protocol = Protocol::Fast;
    TuningSettings m_settings;
    WorkingPointModel m_model;
    WorkingPoint m_point;
    Accumulator m_accumulator;
    FourPointMethod m_fourPoint;
    int m_writeBackMs = 10000;
    int m_neighbourMs = 5000;
    GridPosition m_position;
    TuningGridModel::Marking m_marking;
    std::optional<QStringList> m_scaleLabels;
    std::int64_t m_rwAddress = -1;
    int m_rwSize = 0;
    OwedBytes m_owedCorrection;
    OwedBytes m_owedGbc;
    bool m_fourPointRun = false;
    ExtendedTuningSettings m_extended;
    bool m_extendedRun = false;
    SampleGate m_gate;
    DelayProbe m_delayProbe;
    CorrectionAuthority m_authority;
    bool m_draining = false;  // tuning stopped with bytes still owed
    int m_loadAxisNoted = -1; // the disagreement last logged (setting by pressure), -1 none
    bool m_secondCopyNoted = false;
};

inline const QString kGbcRetry = QStringLiteral("GBC не записалось. Перезапись через 1сек.!");
inline const QString kGbcWrite = QStringLiteral("Перезаписываю GBC(Новых= ");
inline const QString kNeighbourRetry = QStringLiteral("РТ не записались. Перезапись через 1сек.!");
inline const QString kNeighbourWrite = QStringLiteral("Перезаписываю соседнии РТ= (");
inline const QString kPhaseRetry = QStringLiteral("Фаза не записалась. Перезапись через 1сек.!");
inline const QString kPhaseWrite = QStringLiteral("Перезапись Фазы. ");
inline const QString kIgnitionWrite = QStringLiteral("Записываем УОЗ на ЧН");
inline const QString kLoadAxisByThrottle = QStringLiteral(
    "Настройка по давлению невозможна: таблица поправок прошивки по дросселю. Настройка идёт по дросселю.");
inline const QString kLoadAxisByPressure =
    QStringLiteral("Настройка по: таблица поправок прошивки по давлению. Настройка идёт по давлению.");
inline const QString kNoSecondGbcCopy =
    QStringLiteral("БЦН не копируется в 726D: там таблица БЦН по давлению, а настраивается таблица по дросселю.");

} // namespace korvel
