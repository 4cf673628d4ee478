#pragma once

#include "app/ConnectionSettings.h"
#include "ecu/EcuResults.h"
#include "firmware/Complectation.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace korvel {

class CatalogController;
class ControlBoard;
class FirmwareController;
class FirmwareIdentity;
class LinkWorkers;
class LiveController;
class LiveLoop;
class ProgramLog;
class SessionTimers;
class SettingsList;
class StatusController;
class TuningTables;
class ViewState;

// The connect and disconnect sequences of the toolbar, the timers that finish
// a connect (Timer3 waits for polling, Timer5 does the post-connect set-up)
// and the exit button. Pauses between steps run on single-shot timers; a
// newer sequence cancels the rest of an older one.
class ConnectionController : public QObject {
    Q_OBJECT
public:
    // What the sequences work on; each is owned by the session.
    struct Parts {
        SettingsList &settings;
        ProgramLog &log;
        ControlBoard &controls;
        SessionTimers &timers;
        ViewState &view;
        LinkWorkers &workers;
        LiveLoop &live;
        LiveController &liveController;
        StatusController &status;
        FirmwareController &firmware;
        FirmwareIdentity &identity;
        TuningTables &tables;
        CatalogController &catalog;
    };
    ConnectionController(Parts parts, QString workDir);

    // Ignored while a connection is up (until its disconnect has closed both
    // ports) or the program is exiting: a second connect must not restart the CSV log.
    void connectEcu();
    void disconnectEcu();
    // How the worker's connect ended. A connect the worker gave up on (it
    // closed the session itself) takes the window back offline, so connect
    // can be pressed again.
    void connectFinished(EcuConnectOutcome outcome);
    void exitProgram();
    // The window is closing: no step of a sequence runs any more.
    void cancel();
    bool busy() const { return m_pendingSteps > 0 || m_waitingForClose; }
    bool linkUp() const { return m_linkUp; }
    const std::optional<ConnectionSettings> &connectionSettings() const { return m_settings; }
    // The tables tuning writes to, known after the post-connect set-up.
    const TuningTargets &tuningTargets() const { return m_tuningTargets; }
    void forgetTuningTargets() { m_tuningTargets = {}; }

signals:
    // Diagnostic polling runs and the panels of this connection are up; they go at disconnect.
    void diagnosticsShown(bool fastProtocol);
    void diagnosticsHidden();
    // Timer3 saw the worker polling: the diagnostic view is built or restored.
    void diagnosticsStarted();
    // Disconnect: the diagnostic view's per-channel controls go away.
    void diagnosticsStopped();
    // The post-connect set-up (Timer5) is done: grid axes, tuning tables, the firmware buttons.
    void setUpFinished();

private:
    void onTimer3();
    void onTimer5();
    void startWorkers();
    void closePorts();
    void onPortsClosedCheck();
    // Runs `step` after `ms` unless a newer sequence started meanwhile.
    void after(int ms, std::function<void()> step);

    Parts m_parts;
    QString m_workDir;
    std::optional<ConnectionSettings> m_settings;
    TuningTargets m_tuningTargets;
    QTimer m_portsClosedCheck; // after a disconnect: polls until both workers closed their ports
    unsigned m_sequence = 0;
    int m_pendingSteps = 0;
    bool m_linkUp = false;          // from connect until its disconnect has closed the ports
    bool m_waitingForClose = false; // the close is sent; the workers have not closed yet
    bool m_setUpArmed = false;      // Timer5 was started for this connection
    bool m_exiting = false;
};

} // namespace korvel
