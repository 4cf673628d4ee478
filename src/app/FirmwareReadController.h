#pragma once

#include "ecu/EcuResults.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace korvel {

class ControlBoard;
class FirmwareIdentity;
class FirmwareStore;
class LinkWorkers;
class LogDirectory;
class ProgramLog;
class SessionTimers;
class TuningTables;
class ViewState;

// Reading the ECU's firmware into the image: the toolbar button hands the
// read to the ECU worker, ReadFWTimer waits for the worker's result, and a
// complete image replaces the one in work, is identified, rebuilds the tuning
// tables and is saved into the run's folder under "ECU_" + the save name.
class FirmwareReadController : public QObject {
    Q_OBJECT
public:
    // What the read works on; each is owned by the session.
    struct Parts {
        LinkWorkers &workers;
        SessionTimers &timers;
        ViewState &view;
        ControlBoard &controls;
        ProgramLog &log;
        FirmwareStore &store;
        FirmwareIdentity &identity;
        TuningTables &tables;
        LogDirectory &logDirectory;
    };
    explicit FirmwareReadController(Parts parts);

    // The toolbar button "Считать прошивку из блока". Ignored while a read runs.
    void readFirmware();
    bool busy() const { return m_busy; }
    // The worker's hand-over: how its read ended (UI thread).
    void takeResult(const FirmwareReadResult &result);

signals:
    // A read starts: tuning is not offered while it runs.
    void readStarted();
    // The read image replaced the one in work; the tables were rebuilt from it.
    void imageReplaced();
    // The read image was written to this path.
    void imageSaved(const QString &path);
    // A read ended: `complete` when the image was read whole (and is in work now).
    void readFinished(bool complete);

private:
    void start();
    void submitRead();
    void onReadFWTimer();
    void takeImage(const QByteArray &bytes);
    void giveUp();
    void end(bool complete);

    Parts m_parts;
    std::optional<FirmwareReadResult> m_result; // handed over, not yet taken by ReadFWTimer
    QTimer m_waitForWorker;                     // the worker still runs an earlier command
    bool m_busy = false;
};

} // namespace korvel
