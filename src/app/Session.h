#pragma once

#include "app/ActuatorController.h"
#include "app/EcuWrites.h"
#include "app/LinkWorkers.h"
#include "app/LiveController.h"
#include "app/LiveLoop.h"
#include "app/SessionTimers.h"
#include "app/StatusBarState.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "core/SettingsList.h"
#include "editor/TableEditorController.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/ScreenshotFiles.h"
#include "live/StatisticsModel.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningTables.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

namespace korvel {

class AccelerationController;
class CatalogController;
class ChartsController;
class ConnectionController;
class FirmwareController;
class FirmwareReadController;
class StatusController;
class TuningController;
class TuningWrites;

// Everything the program window owns, without the window: the settings, the
// program log, the timers, the workers, the firmware and the live data, and
// the controllers that run the sequences on them. The window observes it;
// tests and the command-line front end use it directly.
class Session : public QObject {
    Q_OBJECT
public:
    // Files that must be in the working folder before anything else starts.
    static const QStringList &requiredFiles();

    explicit Session(const QString &workDir, QObject *parent = nullptr);
    ~Session() override;

    // Start-up in its order. False when a required file is missing or
    // config.ini cannot be read: the log then says which files to check and
    // nothing else is initialised.
    bool startUp();
    // Writes the settings page to config.ini and runs the start-up
    // initialisation again (the workers that already run stay).
    void saveSettings();

    // The toolbar's connect and disconnect buttons. Both return at once; their
    // pauses run on timers, so the window never freezes.
    void connectEcu();
    void disconnectEcu();
    bool isConnecting() const; // a connect or disconnect sequence is still running

    // A toolbar button that brings pages to the front.
    void showPagesFor(const QString &button);
    void raisePage(const QString &page) { m_view.raisePage(page); }
    QString frontPage() const { return m_view.frontPage(); }

    // Firmware files; the window asks for the path. False when nothing changed.
    bool openFirmware(const QString &path);
    bool openComparison(const QString &path);
    // Returns the path written (".bin" appended) or empty on failure (logged).
    QString saveFirmwareAs(const QString &chosenName);
    void undoFirmware();
    // The toolbar's "Считать прошивку из блока": reads the ECU's firmware into
    // the image and saves it into the run's folder. Returns at once.
    void readFirmware();
    bool isReadingFirmware() const;
    // The calibration catalogue: its map, tree, chosen table and .kv files.
    CatalogController &catalog() { return *m_catalog; }
    // The full diagnostic view's charts and the acceleration test panel.
    ChartsController &charts() { return *m_charts; }
    AccelerationController &acceleration() { return *m_acceleration; }
    const CatalogController &catalog() const { return *m_catalog; }
    // Table writes into the ECU's RAM (commands built with ecuwrite::...): handed
    // to the ECU worker only while it is idle, false when it is busy (the
    // caller tries again later). How each went arrives as ecuWriteFinished.
    bool submitEcuWrite(const EcuCommand &command);
    // "rewritetabl": the tuning tables of the selected address set from the image in work.
    bool rewriteTablesToEcu();
    // Around a firmware dialog the per-frame work and the automatic save stop.
    using HeldWork = LiveController::HeldWork;
    HeldWork holdLiveWork() { return m_liveController.hold(); }
    void resumeLiveWork(HeldWork held) { m_liveController.resume(held); }

    // Values that replace those of config.ini for this run only (the demo's
    // simulated ports); applied whenever the settings are loaded.
    void setSettingOverrides(QList<std::pair<QString, QString>> overrides) { m_overrides = std::move(overrides); }

    // The screenshot button: the window grabs the screen (rows of R, G, B).
    ScreenshotFiles::Result saveScreenshot(int width, int height, const QByteArray &rgb888);

    // The exit button: waits for the link timeouts, closes the ports, waits
    // again and then asks the window to close. Never blocks the UI thread.
    void exitProgram();
    // The window is closing (any way): logs are written, workers stop.
    void shutDown();

    QString workDir() const { return m_workDir; }
    QString pathInWorkDir(const QString &name) const;
    bool isStarted() const { return m_started; }
    const StatusBarState &statusBar() const { return m_view.statusBar(); }
    const QStringList &statisticsRowNames() const { return m_view.statisticsRowNames(); }
    // The grids as models the window shows: the tuning grid, and the channels of both statistics grids.
    TuningGridModel &tuningGridModel() { return m_tuningGrid; }
    const TuningGridModel &tuningGridModel() const { return m_tuningGrid; }
    StatisticsModel &statisticsModel() { return m_statistics; }
    const StatisticsModel &statisticsModel() const { return m_statistics; }
    const TuningTargets &tuningTargets() const;
    // Maingridchange_CBOX: the grid shows another quantity; the ignition
    // rework panel hides until the status timer offers it again.
    void selectGridChoice(int index);
    // Tuning may start now (offered by the sequences, an image loaded, and the image is the ECU's).
    bool tuningAllowed() const;

    // Online tuning: TButTune, TButStopTune and the write-back timers. The ECU
    // writes go through `writes`, connected to the ECU worker by its owner.
    // The calibration editor: the catalogue's chosen table, shown and edited.
    TableEditorController &editor() { return m_editor; }
    const TableEditorController &editor() const { return m_editor; }
    TuningController &tuning() { return *m_tuningController; }
    const TuningController &tuning() const { return *m_tuningController; }
    void setTuningWrites(TuningWrites *writes);

    // The parts of the session, for the window to bind and the tests to look at.
    SettingsList &settings() { return m_settings; }
    const SettingsList &settings() const { return m_settings; }
    ProgramLog &log() { return m_log; }
    const ProgramLog &log() const { return m_log; }
    ControlBoard &controls() { return m_controls; }
    const ControlBoard &controls() const { return m_controls; }
    SessionTimers &timers() { return m_timers; }
    const FirmwareStore &firmware() const { return m_firmware; }
    FirmwareStore &firmware() { return m_firmware; }
    const FirmwareIdentity &identity() const { return m_identity; }
    FirmwareIdentity &identity() { return m_identity; }
    TuningTables &tables() { return m_tables; }
    const TuningTables &tables() const { return m_tables; }
    LinkWorkers &workers() { return m_workers; }
    const LinkWorkers &workers() const { return m_workers; }
    const LiveLoop &live() const { return m_live; }
    ActuatorController &actuators() { return m_actuators; }
    const ActuatorController &actuators() const { return m_actuators; }
    const LogDirectory &logDirectory() const { return m_logDirectory; }
    LogDirectory &logDirectory() { return m_logDirectory; }

signals:
    // A modal message the window shows; start-up continues once it is dismissed.
    void messageRequested(const QString &text);
    void pageRaised(const QString &page);
    void closeRequested();
    // How the ECU worker's connect ended.
    void ecuConnectFinished(korvel::EcuConnectOutcome outcome);
    // The post-connect set-up is done: the firmware can be opened or read.
    void connectionSetUp();
    void statusBarChanged();
    // A processed engine tick (the panels were refreshed).
    void liveUpdated();
    // The automatic save wrote the image into the run's folder.
    void firmwareSaved(const QString &path);
    // A firmware read from the ECU ended; `complete`: the read image is in work.
    void firmwareReadFinished(bool complete);
    // A table write handed over by submitEcuWrite ended.
    void ecuWriteFinished(const korvel::EcuWriteResult &result);

private:
    bool requiredFilesPresent();
    bool settingsReadable();
    void reportMissingFiles();
    void initialise(); // start-up steps 3 to 13
    void putWindowIntoInitialState();
    void resetWorkingState();
    void createWorkers();
    void takeWriteResult(const EcuWriteResult &result);
    void rewriteFinished(const EcuWriteResult &result);
    void retryRewrite();
    void forwardSignals();
    void wireEditor();

    QString m_workDir;
    bool m_started = false;
    QList<std::pair<QString, QString>> m_overrides;

    SettingsList m_settings;
    ProgramLog m_log;
    ControlBoard m_controls;
    SessionTimers m_timers;
    ViewState m_view;
    LogDirectory m_logDirectory;
    FirmwareStore m_firmware;
    FirmwareIdentity m_identity;
    TuningTables m_tables;
    LinkWorkers m_workers;
    LiveLoop m_live;
    QElapsedTimer m_operatingClock; // the working point's trail ages by it
    ScreenshotFiles m_screenshots;
    TuningGridModel m_tuningGrid{m_tables};
    StatisticsModel m_statistics;
    ActuatorController m_actuators{m_workers};

    std::unique_ptr<FirmwareController> m_firmwareController;
    std::unique_ptr<FirmwareReadController> m_firmwareRead;
    LiveController m_liveController;
    std::unique_ptr<CatalogController> m_catalog;
    std::unique_ptr<StatusController> m_statusController;
    bool m_tuningOfferedBeforeRead = false;
    int m_rewriteAttempts = 0; // rewrites of the tuning tables in a row that did not land whole
    std::unique_ptr<ConnectionController> m_connection;
    EcuWrites m_ecuWrites{m_workers, m_settings};
    std::unique_ptr<TuningController> m_tuningController;
    TableEditorController m_editor{m_firmware, &m_log};
    std::unique_ptr<ChartsController> m_charts;
    std::unique_ptr<AccelerationController> m_acceleration;
};

} // namespace korvel
