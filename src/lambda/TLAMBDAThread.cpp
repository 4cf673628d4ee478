#include "lambda/TLAMBDAThread.h"

#include "core/ProgramLog.h"
#include "lambda/LambdaPort.h"
#include "lambda/WidebandParsers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

#include <algorithm>
#include <chrono>

namespace korvel {

namespace {
constexpr int kLoopPause = 1;
constexpr int kShutdownSlice = 5;
const QString kOpenFailed = QStringLiteral("Не удалось открыть порт ");
const QString kPortLost = QStringLiteral("ОШИБКА: Порт ");
const QString kPortLostTail = QStringLiteral(" датчика кислорода пропал, порт закрыт!");
} // namespace

TLAMBDAThread::TLAMBDAThread(ProgramLog *log, QObject *parent) : QThread(parent), m_log(log) {}

TLAMBDAThread::~TLAMBDAThread() {
    shutdown();
}

void TLAMBDAThread::shutdown() {
    requestInterruption();
    {
        // Taking the lock orders the request before a pause that is about to wait.
        std::lock_guard lock(m_pauseMutex);
    }
    m_pauseWake.notify_all();
    if (QThread::currentThread() == this)
        return;
    while (!wait(QDeadlineTimer(kShutdownSlice)))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void TLAMBDAThread::pause(int ms) const {
    std::unique_lock lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                         [this] { return isInterruptionRequested(); });
}

void TLAMBDAThread::FOnChange() {
    const ChangeHandler handler = m_onChange.load();
    if (handler)
        handler(*this);
}

void TLAMBDAThread::postLog(const QString &line) {
    if (!m_log)
        return;
    if (QThread::currentThread() == thread())
        m_log->append(line);
    else
        QMetaObject::invokeMethod(
            this, [this, &line] { m_log->append(line); }, Qt::BlockingQueuedConnection);
}

// What the worker's thread owns while it runs.
struct TLAMBDAThread::Reception {
    LambdaPort port;
    WidebandState state;
    const WidebandType *type = nullptr;
};

void TLAMBDAThread::run() {
    Reception reception;
    while (!isInterruptionRequested()) {
        if (Command.load() == lambdacommand::OpenComPort)
            openPort(reception);
        if (Command.load() == lambdacommand::CloseComPort)
            closePort(reception);
        if (Command.load() == lambdacommand::Receive && reception.port.isOpen())
            receive(reception);
        pause(kLoopPause);
    }
}

void TLAMBDAThread::openPort(Reception &reception) {
    reception.state = WidebandState{}; // a new stream: wait for its first sync pattern
    reception.type = widebandType(typeafr.load());
    const LambdaLine line{reception.type ? reception.type->baud : kDefaultWidebandBaud, PortParity.load(),
                          PortByteSize.load(), PortStopBits.load()};
    PortSpeed.store(QString::number(line.baud));
    const QString name = PortName.load();
    reception.port.CloseLambdaPort(); // a second "OpenComPort" reopens
    const bool opened = reception.port.OpenLambdaPort(name, line);
    if (!opened)
        ErrorComPorts.store(kOpenFailed + name);
    ComConnect = opened;
    reception.port.purge();
    // Whatever the outcome, reception starts; without a port its reads fail quietly.
    Command.compareExchange(lambdacommand::OpenComPort, lambdacommand::Receive);
}

void TLAMBDAThread::closePort(Reception &reception) {
    // A port that was never opened counts as closed, so the command does not
    // repeat for ever with the port shown as open.
    ComConnect = !reception.port.CloseLambdaPort();
    if (!ComConnect)
        Command.compareExchange(lambdacommand::CloseComPort, QString());
    FOnChange();
}

void TLAMBDAThread::receive(Reception &reception) {
    const QByteArray bytes = reception.port.ReadAvailable();
    if (reception.port.deviceLost()) {
        reception.port.CloseLambdaPort();
        ComConnect = false;
        ErrorComPorts.store(kPortLost + PortName.load() + kPortLostTail);
        postLog(ErrorComPorts.load());
        FOnChange();
        return;
    }
    if (!reception.type || bytes.isEmpty())
        return;
    for (const WidebandReading &reading : reception.type->parse(reception.state, bytes, reception.type->valueLength)) {
        afr.store(reading.afr);
        afr_float = reading.afr_float;
        FOnChange();
    }
}

} // namespace korvel
