// Diagnostic polling and a whole firmware read against the simulated ECU, at
// 57600 baud with line timing and a 25 ms ECU latency, with "Быстрый обмен"
// off (the default pauses 20 + 150 ms) and on ("Таймаут1" 0, "Таймаут2" 150),
// each next to what the line itself allows: echo plus answer at ten bits a
// byte, plus the latency, per exchange.
//
//   exchange_bench [--seconds N] [--no-firmware] [--case N] [--quick] [--figures] [--lost P]
//
// --lost drops P percent of the firmware read's answers (the ECU keeps
// silent, drawn from a fixed seed); each lost block is read again.
// --case runs only the Nth case (from 1); --quick runs one fast case for a few
// seconds without the firmware read; --figures adds, per case, a line
// "figures <frames/s> <limit> <read s or -1> <read limit s>" for tools.
#include "core/ProgramLog.h"
#include "ecu/EcuResults.h"
#include "ecu/KwpFrame.h"
#include "ecu/TECUThread.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <optional>

using namespace korvel;

namespace {

constexpr int kBaud = 57600;
constexpr int kLatencyMs = 25;
constexpr int kBitsPerByte = 10;
constexpr int kConnectMs = 120000;
constexpr int kFirmwareReadMs = 600000;

struct Case {
    const char *name;
    bool fastExchange;
    int timeOut;
    int readTimeOut;
    sim::HeaderForm form;
    int chunks;
};

const Case kCases[] = {
    {"нет, 20 + 150 ms, length byte", false, 20, 150, sim::HeaderForm::LengthByte, 1},
    {"да, 0 / 150 ms, length byte", true, 0, 150, sim::HeaderForm::LengthByte, 1},
    {"да, 0 / 150 ms, short header", true, 0, 150, sim::HeaderForm::Short, 1},
    {"да, 0 / 150 ms, 4 chunks", true, 0, 150, sim::HeaderForm::LengthByte, 4},
    {"да, 0 / 150 ms, short, 7 chunks", true, 0, 150, sim::HeaderForm::Short, 7},
};

// Runs the event loop (the worker's hand-overs need it) until `done` holds.
bool runUntil(const std::function<bool()> &done, int ms) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    check.start(2);
    loop.exec();
    return done();
}

int answerFrameSize(int dataBytes, sim::HeaderForm form) {
    const bool shortHeader = form == sim::HeaderForm::Short && dataBytes <= 63;
    return (shortHeader ? 3 : 4) + dataBytes + 1;
}

// Seconds one exchange takes at the least: echo and answer on the line, plus the latency.
double exchangeLimit(const QByteArray &request, int answerData, sim::HeaderForm form) {
    const int bytes = static_cast<int>(KwpFrame::build(request).size()) + answerFrameSize(answerData, form);
    return double(bytes * kBitsPerByte) / kBaud + kLatencyMs / 1000.0;
}

double pollingLimit(sim::HeaderForm form) {
    return 1.0 / exchangeLimit(QByteArray::fromHex("210F"), 53, form);
}

double firmwareLimit(sim::HeaderForm form) {
    return 682 * exchangeLimit(QByteArray::fromHex("2300000060"), 0x61, form) +
           exchangeLimit(QByteArray::fromHex("2300FFC040"), 0x41, form);
}

// printf pads bytes, not letters.
const char *padded(const char *text) {
    static QByteArray buffer;
    buffer = QString::fromUtf8(text).leftJustified(34).toUtf8();
    return buffer.constData();
}

struct Figures {
    double framesPerSecond = 0;
    int rejected = 0;
    std::optional<double> firmwareSeconds;
    bool imageMatches = false;
    int linkErrors = 0;
};

std::optional<Figures> measure(const Case &c, int seconds, bool withFirmware, int lostPercent) {
    sim::SimulatorOptions options;
    options.latencyMs = kLatencyMs;
    options.lineTiming = true;
    options.wideband = sim::WidebandType::None;
    sim::Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return std::nullopt;
    }
    for (sim::RequestKind kind : sim::allRequestKinds())
        simulator.setAnswerForm(kind, c.form);
    simulator.setAnswerChunks(c.chunks);

    ProgramLog log;
    TECUThread worker(&log);
    std::optional<FirmwareReadResult> read;
    QElapsedTimer readTime;
    double readSeconds = 0;
    worker.setFirmwareReadHandler([&](const FirmwareReadResult &result) {
        readSeconds = double(readTime.nsecsElapsed()) * 1e-9;
        read = result;
    });
    worker.start();
    worker.Command.submit({EcuCommandKind::OpenComPort,
                           {.port = simulator.ecuDevicePath(),
                            .speed = QString::number(kBaud),
                            .protocol = Protocol::Fast,
                            .portTimeOut = c.timeOut,
                            .portReadTimeOut = c.readTimeOut,
                            .fastExchange = c.fastExchange}});
    if (!runUntil([&] { return worker.IsDiagnostic.load() == 1 && worker.numlog.load() >= 2; }, kConnectMs)) {
        fprintf(stderr, "%s: no diagnostic polling\n%s\n", c.name, qPrintable(log.lines().join('\n')));
        return std::nullopt;
    }

    Figures figures;
    const int firstFrame = worker.numlog.load();
    QElapsedTimer window;
    window.start();
    runUntil([] { return false; }, seconds * 1000);
    const int frames = worker.numlog.load() - firstFrame;
    figures.framesPerSecond = frames / (double(window.nsecsElapsed()) * 1e-9);

    // Polling stops for the firmware read (or the disconnect): every frame
    // requested so far, the connect's included, has been answered or refused.
    const EcuCommandKind next = withFirmware ? EcuCommandKind::ReadFW : EcuCommandKind::CloseComPort;
    if (lostPercent > 0)
        simulator.setRandomFaults({.seed = 1,
                                   .probability = lostPercent / 100.0,
                                   .kinds = {sim::FaultKind::NoAnswer},
                                   .on = sim::RequestKind::ReadMemory});
    readTime.start();
    worker.Command.replace({next, {}});
    runUntil([&] { return worker.IsDiagnostic.load() == 0; }, kConnectMs);
    figures.rejected = worker.numlog.load() - worker.diagnosticFrames.load();
    if (withFirmware && runUntil([&] { return read.has_value(); }, kFirmwareReadMs)) {
        figures.firmwareSeconds = readSeconds;
        figures.imageMatches = read->complete && read->image == simulator.memory();
    }
    figures.linkErrors = worker.error.load();
    if ((figures.linkErrors != 0 && lostPercent == 0) || figures.rejected != 0 ||
        (withFirmware && !figures.imageMatches))
        for (const QString &line : log.lines())
            if (line.startsWith(QStringLiteral("ECU: <<")))
                fprintf(stderr, "%s: %s\n", c.name, qPrintable(line));
    worker.shutdown();
    simulator.stop();
    return figures;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const bool withFirmware = !quick && !args.contains(QStringLiteral("--no-firmware"));
    const bool figures = args.contains(QStringLiteral("--figures"));
    int seconds = quick ? 3 : 10;
    auto number = [&](const char *option) -> std::optional<int> {
        const qsizetype at = args.indexOf(QString::fromLatin1(option));
        if (at < 0 || at + 1 >= args.size())
            return std::nullopt;
        return args.at(at + 1).toInt();
    };
    if (const std::optional<int> n = number("--seconds"))
        seconds = qMax(1, *n);
    const int only = quick ? 2 : number("--case").value_or(0);
    const int lostPercent = quick ? 0 : number("--lost").value_or(0);

    printf("57600 baud, line timing, ECU latency %d ms; polling measured over %d s; %d %% of read answers lost\n",
           kLatencyMs, seconds, lostPercent);
    printf("%s %9s %9s %6s %8s %10s %10s %6s %6s %6s\n", padded("Быстрый обмен, pauses, answers"), "frames/s", "limit",
           "share", "rejected", "read s", "limit s", "ratio", "image", "errors");
    int failures = 0;
    for (const Case &c : kCases) {
        if (only > 0 && &c != &kCases[only - 1])
            continue;
        const std::optional<Figures> f = measure(c, seconds, withFirmware, lostPercent);
        if (!f) {
            ++failures;
            continue;
        }
        const double limit = pollingLimit(c.form);
        const double readLimit = firmwareLimit(c.form);
        printf("%s %9.2f %9.2f %5.1f%% %8d", padded(c.name), f->framesPerSecond, limit,
               100 * f->framesPerSecond / limit, f->rejected);
        if (f->firmwareSeconds)
            printf(" %10.2f %10.2f %6.2f %6s", *f->firmwareSeconds, readLimit, *f->firmwareSeconds / readLimit,
                   f->imageMatches ? "equal" : "DIFFERS");
        else
            printf(" %10s %10.2f %6s %6s", "-", readLimit, "-", "-");
        printf(" %6d\n", f->linkErrors);
        if (figures)
            printf("figures %.3f %.3f %.3f %.3f\n", f->framesPerSecond, limit, f->firmwareSeconds.value_or(-1),
                   readLimit);
        fflush(stdout);
        if (f->rejected != 0 || (f->linkErrors != 0 && lostPercent == 0) || (withFirmware && !f->imageMatches))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
