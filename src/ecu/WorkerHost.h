#pragma once

#include "ecu/EcuResults.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// What the ECU link's steps need from the thread that runs them: log lines
// and progress handed to the UI thread (the caller waits until they have
// run), typed results handed the same way, and pauses that end early when the thread is asked to stop.
class WorkerHost {
public:
    virtual ~WorkerHost() = default;

    virtual void PostLog(const QString &line) = 0;
    virtual void ReplaceLog(const QString &line) = 0;
    virtual void PublishProgress(int maximum, int position) = 0;
    // Hands the identification block to the UI thread.
    virtual void PublishIdentification(const QByteArray &block) = 0;
    // Hands over how a connect ended.
    virtual void PublishConnectOutcome(EcuConnectOutcome outcome) = 0;
    // Hands over how a firmware read ended.
    virtual void PublishFirmwareRead(const FirmwareReadResult &result) = 0;
    // Hands over how a table write went.
    virtual void PublishWrite(const EcuWriteResult &result) = 0;

    virtual void pause(int ms) = 0;
    virtual bool stopRequested() const = 0;
};

} // namespace korvel
