#pragma once

#include "core/SharedValue.h"

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace korvel {

class ProgramLog;

// Command names of the lambda worker.
namespace lambdacommand {
inline const QString OpenComPort = QStringLiteral("OpenComPort");
inline const QString CloseComPort = QStringLiteral("CloseComPort");
inline const QString Receive = QStringLiteral("recived"); // continuous reception
} // namespace lambdacommand

// The wideband lambda worker: opens the controller's port on "OpenComPort",
// then reads and converts its stream until "CloseComPort".
class TLAMBDAThread : public QThread {
    Q_OBJECT
public:
    using ChangeHandler = std::function<void(TLAMBDAThread &)>;

    // `log` (optional, lives in the UI thread) receives the line of a port
    // that vanishes while open.
    explicit TLAMBDAThread(ProgramLog *log = nullptr, QObject *parent = nullptr);
    ~TLAMBDAThread() override;

    // Window → worker: set the port fields, then `Command`.
    SharedValue<QString> Command;
    SharedValue<QString> PortName;
    SharedValue<QString> typeafr; // "Innovate", "AEM", "Korvel", "ALC-1", "APSX"
    std::atomic<int> PortParity{2};
    std::atomic<int> PortByteSize{8};
    std::atomic<int> PortStopBits{0};
    SharedValue<QStringList> myList; // port names of the worker's own discovery, for reference

    // Worker → window.
    SharedValue<QString> PortSpeed{QStringLiteral("19200")};
    SharedValue<QString> ErrorComPorts; // text of the last port failure (open failed, device vanished)
    std::atomic<bool> ComConnect{false};
    SharedValue<QString> afr;         // text of the last value
    std::atomic<double> afr_float{0}; // last converted AFR

    // `FOnChange`: called on the worker thread after every converted value and after closing.
    void setOnChange(ChangeHandler handler) { m_onChange.store(std::move(handler)); }

    // UI thread only: asks the worker to stop and waits for it.
    void shutdown();
    void pause(int ms) const;

protected:
    void run() override;

private:
    struct Reception;
    void openPort(Reception &reception);
    void closePort(Reception &reception);
    void receive(Reception &reception);
    void FOnChange();
    void postLog(const QString &line);

    ProgramLog *m_log;
    SharedValue<ChangeHandler> m_onChange;
    // Pauses wait here; shutdown() wakes them.
    mutable std::mutex m_pauseMutex;
    mutable std::condition_variable m_pauseWake;
};

} // namespace korvel
