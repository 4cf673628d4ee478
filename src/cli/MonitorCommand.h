#pragma once

#include "cli/MonitorOptions.h"
#include "ecu/EcuResults.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QTextStream;

namespace korvel {
class Session;
}

namespace korvel::cli {

// `korvel-cli monitor`: the program's session without a window. It starts the
// session in the working folder, applies the run's settings in memory,
// connects, echoes the program log (and the live values) and, when the time
// is up or a stop is requested, disconnects and shuts the session down so
// that the CSV log is complete on disk.
class MonitorCommand : public QObject {
    Q_OBJECT
public:
    // Program log lines, live lines and the summary go to `out`; the reason of
    // a failed run goes to `err` in one line.
    MonitorCommand(const QString &workDir, MonitorOptions options, QTextStream &out, QTextStream &err,
                   QObject *parent = nullptr);
    ~MonitorCommand() override;

    // Runs on the calling thread's event loop until the run is over; returns
    // the exit status (kExitPolled or kExitNotPolled).
    int run();
    // Ctrl+C, SIGTERM or a caller: disconnect and end. A second request while
    // disconnecting ends at once (the CSV log is still written in full).
    void requestStop(const QString &why);

    Session &session() { return *m_session; }
    int processedFrames() const;
    // The run's CSV log once it is on disk; empty when none was written.
    QString csvPath() const;

private:
    enum class Phase { Starting, Connecting, Polling, Stopping, Done };

    bool startSession();
    void reportOverrides(const QStringList &namesInConfig);
    void onLogLine(const QString &line);
    void onLiveUpdated();
    void onConnectFinished(EcuConnectOutcome outcome);
    void onFirmwareRead(bool complete);
    void watch();
    void watchConnect();
    void watchPolling();
    void stepTuning();
    void fail(const QString &reason);
    void beginStop(const QString &why);
    void finish();
    bool disconnected() const;
    int reportOutcome();
    void print(const QString &line);

    std::unique_ptr<Session> m_session;
    MonitorOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    Phase m_phase = Phase::Starting;
    QEventLoop m_loop;
    QTimer m_watch;
    QDeadlineTimer m_deadline; // of the phase: connect timeout, --seconds, disconnect wait
    QString m_stopRequest;     // why a stop was asked for; empty: none pending
    QString m_failure;         // why polling never started
    QString m_lastConnectLine; // the connect's last log line (not a counter), for the failure reason
    std::optional<EcuConnectOutcome> m_connectOutcome;
    int m_printedFrames = 0;
    bool m_polled = false;
    bool m_outputClosed = false;
    bool m_firmwareReadStarted = false;
    enum class TuneStep { None, Rewriting, Tuning, Refused };
    TuneStep m_tuneStep = TuneStep::None;
    QDeadlineTimer m_tuneOffered;
    bool m_firmwareWritten = false;
    QString m_firmwareFailure; // read-firmware: why OUT was not written
};

} // namespace korvel::cli
