#pragma once

#include "ecu/EcuFields.h"
#include "ecu/EcuResults.h"
#include "ecu/LinkWorker.h"

#include <QByteArray>

#include <functional>

namespace korvel {

class ProgramLog;

// The ECU worker: the only thread that talks to the K-line port. The window
// hands over one command at a time through `Command`; the worker runs it, or
// polls diagnostic frames while none is pending.
class TECUThread : public LinkWorker, public EcuFields {
    Q_OBJECT
public:
    using ProgressHandler = std::function<void(int maximum, int position)>;
    using IdentificationHandler = std::function<void(const QByteArray &block)>;
    using ConnectOutcomeHandler = std::function<void(EcuConnectOutcome outcome)>;
    using FirmwareReadHandler = std::function<void(const FirmwareReadResult &result)>;
    using WriteHandler = std::function<void(const EcuWriteResult &result)>;

    // `log` lives in the UI thread and receives the worker's log lines
    // (PostLog appends, ReplaceLog replaces the last line).
    explicit TECUThread(ProgramLog *log = nullptr, QObject *parent = nullptr);
    ~TECUThread() override; // shuts the thread down when still running

    // What the worker hands to the UI thread. Each handler runs on the thread
    // that created the worker while the worker waits; set them on that thread.
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); } // ProgressState
    void setIdentificationHandler(IdentificationHandler handler) { m_identification = std::move(handler); } // 224 bytes
    void setConnectOutcomeHandler(ConnectOutcomeHandler handler) { m_connectOutcome = std::move(handler); }
    void setFirmwareReadHandler(FirmwareReadHandler handler) { m_firmwareRead = std::move(handler); }
    void setWriteHandler(WriteHandler handler) { m_write = std::move(handler); }

protected:
    void run() override;

private:
    class HandOver;

    ProgressHandler m_progress;             // UI thread only
    IdentificationHandler m_identification; // UI thread only
    ConnectOutcomeHandler m_connectOutcome; // UI thread only
    FirmwareReadHandler m_firmwareRead;     // UI thread only
    WriteHandler m_write;                   // UI thread only
    bool m_pollingAnnounced = false;        // worker thread only
};

} // namespace korvel
