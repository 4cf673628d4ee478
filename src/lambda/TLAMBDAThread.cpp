#include "lambda/TLAMBDAThread.h"

#include "lambda/LambdaPort.h"
#include "lambda/WidebandParsers.h"

#include <optional>

namespace korvel {

namespace {
constexpr int kLoopPause = 1;
const QString kOpenFailed = QStringLiteral("Не удалось открыть порт ");
const QString kPortLost = QStringLiteral("ОШИБКА: Порт ");
const QString kPortLostTail = QStringLiteral(" датчика кислорода пропал, порт закрыт!");
} // namespace

TLAMBDAThread::TLAMBDAThread(ProgramLog *log, QObject *parent) : LinkWorker(log, parent) {}

TLAMBDAThread::~TLAMBDAThread() {
    shutdown(); // before the fields and the handler the worker uses go away
}

void TLAMBDAThread::FOnChange() {
    const ChangeHandler handler = m_onChange.load();
    if (handler)
        handler(*this);
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
        // Each step sees the command the one before left: an open receives in the same pass.
        if (const std::optional<LambdaCommand> open = Command.load();
            open && open->kind == LambdaCommandKind::OpenComPort)
            openPort(reception, *open);
        if (Command.kind() == LambdaCommandKind::CloseComPort)
            closePort(reception);
        if (Command.kind() == LambdaCommandKind::Receive && reception.port.isOpen())
            receive(reception);
        pause(kLoopPause);
    }
}

void TLAMBDAThread::openPort(Reception &reception, const LambdaCommand &command) {
    const LambdaLinkSettings &link = command.link;
    reception.state = WidebandState{}; // a new stream: wait for its first sync pattern
    reception.type = widebandType(link.type);
    const LambdaLine line{reception.type ? reception.type->baud : kDefaultWidebandBaud, link.parity, link.byteSize,
                          link.stopBits};
    PortName.store(link.port);
    PortSpeed.store(QString::number(line.baud));
    reception.port.CloseLambdaPort(); // a second OpenComPort reopens
    const bool opened = reception.port.OpenLambdaPort(link.port, line);
    if (!opened)
        ErrorComPorts.store(kOpenFailed + link.port);
    ComConnect = opened;
    reception.port.purge();
    // Whatever the outcome, reception starts; without a port its reads fail quietly.
    Command.finish(LambdaCommandKind::OpenComPort, LambdaCommand{LambdaCommandKind::Receive, link});
}

void TLAMBDAThread::closePort(Reception &reception) {
    // A port that was never opened counts as closed, so the command does not
    // repeat for ever with the port shown as open.
    ComConnect = !reception.port.CloseLambdaPort();
    if (!ComConnect)
        Command.finish(LambdaCommandKind::CloseComPort);
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
