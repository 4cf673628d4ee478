#pragma once

#include "app/ControlBoard.h"
#include "app/LogDirectory.h"
#include "app/ProgramLog.h"
#include "app/SessionTimers.h"
#include "app/SettingsList.h"
#include "app/StatusBarState.h"

#include <QObject>
#include <QString>

namespace korvel {

// Everything the program window owns, without the window: the settings, the
// program log, the timers, the run's folders and the state of the named
// controls. The window observes it; tests and the command-line front end use
// it directly.
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

    // A toolbar button that brings pages to the front.
    void showPagesFor(const QString &button);
    void raisePage(const QString &page);
    QString frontPage() const { return m_frontPage; }

    // The exit button: waits for the link timeouts, closes the ports, waits
    // again and then asks the window to close. Never blocks the UI thread.
    void exitProgram();
    // The window is closing (any way): tell the workers to stop.
    void shutDown();

    QString workDir() const { return m_workDir; }
    QString pathInWorkDir(const QString &name) const;
    QChar logFieldSeparator() const { return m_logFieldSeparator; }
    bool isStarted() const { return m_started; }
    const StatusBarState &statusBar() const { return m_statusBar; }

    SettingsList settings;
    ProgramLog log;
    ControlBoard controls;
    SessionTimers timers;
    LogDirectory logDirectory;

signals:
    // A modal message the window shows; start-up continues once it is dismissed.
    void messageRequested(const QString &text);
    void pageRaised(const QString &page);
    void closeRequested();
    void statusBarChanged();

private:
    bool requiredFilesPresent();
    void initialise();          // start-up steps 3 to 13
    void chooseLogFieldSeparator();
    void putWindowIntoInitialState();
    void resetWorkingState();
    void onStatusTick();

    QString m_workDir;
    QString m_frontPage;
    QChar m_logFieldSeparator = QLatin1Char(',');
    bool m_started = false;
    StatusBarState m_statusBar;
};

} // namespace korvel
