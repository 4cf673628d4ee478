#pragma once

#include "core/SharedValue.h"
#include "ecu/LinkWorker.h"
#include "ecu/PendingCommand.h"
#include "lambda/LambdaCommand.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace korvel {

class ProgramLog;

// The wideband lambda worker: opens the controller's port on OpenComPort,
// then reads and converts its stream (Receive) until CloseComPort.
class TLAMBDAThread : public LinkWorker {
    Q_OBJECT
public:
    using ChangeHandler = std::function<void(TLAMBDAThread &)>;

    // `log` (optional, lives in the UI thread) receives the line of a port
    // that vanishes while open.
    explicit TLAMBDAThread(ProgramLog *log = nullptr, QObject *parent = nullptr);
    ~TLAMBDAThread() override;

    // Window → worker.
    PendingCommand<LambdaCommand> Command;
    SharedValue<QStringList> myList; // port names of the worker's own discovery, for reference

    // Worker → window.
    SharedValue<QString> PortName; // the port of the last OpenComPort
    SharedValue<QString> PortSpeed{QStringLiteral("19200")};
    SharedValue<QString> ErrorComPorts; // text of the last port failure (open failed, device vanished)
    std::atomic<bool> ComConnect{false};
    SharedValue<QString> afr;         // text of the last value
    std::atomic<double> afr_float{0}; // last converted AFR

    // `FOnChange`: called on the worker thread after every converted value and after closing.
    void setOnChange(ChangeHandler handler) { m_onChange.store(std::move(handler)); }

protected:
    void run() override;

private:
    struct Reception;
    void openPort(Reception &reception, const LambdaCommand &command);
    void closePort(Reception &reception);
    void receive(Reception &reception);
    void FOnChange();

    SharedValue<ChangeHandler> m_onChange;
};

} // namespace korvel
