#pragma once

#include "ecu/EcuFields.h"

#include <QByteArray>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace korvel {

class ProgramLog;

// The ECU worker: the only thread that talks to the K-line port. The window
// fills the fields of EcuFields and writes `Command` last; the worker runs
// the command, or polls diagnostic frames while none is pending.
class TECUThread : public QThread, public EcuFields {
    Q_OBJECT
public:
    using ProgressHandler = std::function<void(int maximum, int position)>;
    using IdentificationHandler = std::function<void(const QByteArray &block)>;

    // `log` lives in the UI thread and receives the worker's log lines
    // (PostLog appends, ReplaceLog replaces the last line).
    explicit TECUThread(ProgramLog *log = nullptr, QObject *parent = nullptr);
    ~TECUThread() override; // shuts the thread down when still running

    // What the worker hands to the UI thread. Each handler runs on the thread
    // that created the worker while the worker waits; set them on that thread.
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); } // ProgressState
    void setIdentificationHandler(IdentificationHandler handler) { m_identification = std::move(handler); } // 224 bytes

    // UI thread only: asks the worker to stop and waits for it, still running
    // the worker's pending hand-overs so that neither side waits on the other.
    void shutdown();

    // Pause of the worker's loop; ends early when the thread is asked to stop.
    void pause(int ms) const;

protected:
    void run() override;

private:
    class HandOver;

    ProgramLog *m_log;
    ProgressHandler m_progress;             // UI thread only
    IdentificationHandler m_identification; // UI thread only
    bool m_pollingAnnounced = false;        // worker thread only
    // Pauses wait here; shutdown() wakes them.
    mutable std::mutex m_pauseMutex;
    mutable std::condition_variable m_pauseWake;
};

} // namespace korvel
