#pragma once

#include "core/ControlBoard.h"
#include "app/LinkWorkers.h"
#include "app/LiveLoop.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "app/SessionTimers.h"
#include "core/SettingsList.h"
#include "app/StatusBarState.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/ScreenshotFiles.h"
#include "live/StatisticsModel.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningTables.h"

#include <QObject>
#include <QString>

#include <memory>

namespace korvel {

class Connection;

// Everything the program window owns, without the window: the settings, the
// program log, the timers, the workers, the firmware, the live data and the
// state of the named controls. The window observes it; tests and the
// command-line front end use it directly.
class Session : public QObject {
    Q_OBJECT
public:
    // Files that must be in the working folder before anything else starts.
    static const QStringList &requiredFiles();

    explicit Session(const QString &workDir, QObject *parent = nullptr);
    ~Session() override;

    // Start-up in its order. False when a required file is missing: the log
    // then says which files to check and nothing else is initialised.
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
    void raisePage(const QString &page);
    QString frontPage() const { return m_frontPage; }

    // Firmware files; the window asks for the path. False when nothing changed.
    bool openFirmware(const QString &path);
    bool openComparison(const QString &path);
    // Returns the path written (".bin" appended) or empty on failure (logged).
    QString saveFirmwareAs(const QString &chosenName);
    void undoFirmware();
    // Around a firmware dialog the per-frame work and the automatic save
    // stop; what ran before resumes after it.
    struct HeldWork {
        bool engine = false;
        bool autoSave = false;
    };
    HeldWork holdLiveWork();
    void resumeLiveWork(HeldWork held);

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
    QChar logFieldSeparator() const { return m_logFieldSeparator; }
    bool isStarted() const { return m_started; }
    const StatusBarState &statusBar() const { return m_statusBar; }
    // Display names of the statistics grids' rows (the connected protocol's channels).
    const QStringList &statisticsRowNames() const { return m_statistics.channels(); }
    // The tables tuning writes to, known after the post-connect set-up.
    const TuningTargets &tuningTargets() const { return m_tuningTargets; }
    // The grids as models the window shows: the tuning grid, and the channels of both statistics grids.
    TuningGridModel &tuningGridModel() { return m_tuningGrid; }
    const TuningGridModel &tuningGridModel() const { return m_tuningGrid; }
    StatisticsModel &statisticsModel() { return m_statistics; }
    const StatisticsModel &statisticsModel() const { return m_statistics; }

    SettingsList settings;
    ProgramLog log;
    ControlBoard controls;
    SessionTimers timers;
    LogDirectory logDirectory;
    FirmwareStore firmware;
    FirmwareIdentity identity;
    TuningTables tables;
    LinkWorkers workers;
    LiveLoop live;
    ScreenshotFiles screenshots;

signals:
    // A modal message the window shows; start-up continues once it is dismissed.
    void messageRequested(const QString &text);
    void pageRaised(const QString &page);
    void closeRequested();
    void statusBarChanged();
    // A processed engine tick (the panels were refreshed).
    void liveUpdated();

private:
    friend class Connection;

    bool requiredFilesPresent();
    void initialise(); // start-up steps 3 to 13
    void chooseLogFieldSeparator();
    void putWindowIntoInitialState();
    void resetWorkingState();
    void createWorkers();
    void wireTimers();
    void onStatusTick();
    void onEngineTick();
    void onStatisticsTick();
    void onRepaintTick();
    void onIdentificationBlock(const QByteArray &block);
    void onProgress(int maximum, int position);
    void setStatusBar(const StatusBarState &state);
    void setStatisticsRowNames(const QStringList &names);
    void setTuningTargets(const TuningTargets &targets) { m_tuningTargets = targets; }
    bool autoSave();

    QString m_workDir;
    QString m_frontPage;
    QChar m_logFieldSeparator = QLatin1Char(',');
    bool m_started = false;
    StatusBarState m_statusBar;
    TuningTargets m_tuningTargets;
    QList<std::pair<QString, QString>> m_overrides;
    std::unique_ptr<Connection> m_connection;
    TuningGridModel m_tuningGrid{tables};
    StatisticsModel m_statistics;
};

} // namespace korvel
