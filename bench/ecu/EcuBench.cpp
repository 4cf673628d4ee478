// Diagnostic polling over the K-line against the simulated ECU: frames per
// second and the ECU worker's CPU time per frame, at 57600 baud with line
// timing, 25 ms ECU latency and the default timeouts (20 ms before each
// request, 150 ms before reading the answer).
#include "core/ProgramLog.h"
#include "ecu/TECUThread.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

using namespace korvel;

namespace {

const QString kWorkerName = QStringLiteral("ecu-bench");

bool waitFor(const std::function<bool()> &condition, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// The kernel thread id of the thread with this name in this process.
long threadId(const QString &name) {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(comm.readAll()).trimmed() == name)
            return tid.toLong();
    }
    return 0;
}

// CPU time of one thread of this process (the per-thread CPU clock of Linux).
double threadCpuSeconds(long tid) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned long>(tid) << 3) | 6U);
    timespec ts{};
    if (tid == 0 || clock_gettime(clock, &ts) != 0)
        return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void DiagnosticPolling(benchmark::State &state) {
    const bool fast = state.range(0) == 1;
    sim::SimulatorOptions options;
    options.protocol = fast ? sim::Protocol::Fast : sim::Protocol::Standard;
    options.latencyMs = 25;
    options.lineTiming = true;
    options.wideband = sim::WidebandType::None;
    sim::Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }

    ProgramLog log;
    TECUThread worker(&log);
    worker.setObjectName(kWorkerName);
    worker.start();
    worker.Command.submit(
        {EcuCommandKind::OpenComPort,
         {simulator.ecuDevicePath(), QStringLiteral("57600"), fast ? Protocol::Fast : Protocol::Standard, 20, 150}});
    if (!waitFor([&] { return worker.numlog.load() >= 2; }, 120000)) {
        state.SkipWithError("no diagnostic polling");
        worker.shutdown();
        return;
    }

    const long tid = threadId(kWorkerName);
    const int firstFrame = worker.numlog.load();
    const int firstError = worker.error.load();
    const double firstCpu = threadCpuSeconds(tid);
    for (auto _ : state) {
        const int next = worker.numlog.load() + 1;
        waitFor([&] { return worker.numlog.load() >= next; }, 10000);
    }
    const int frames = worker.numlog.load() - firstFrame;
    const double cpu = threadCpuSeconds(tid) - firstCpu;
    worker.shutdown();

    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["worker_cpu_us_per_frame"] = frames > 0 ? cpu * 1e6 / frames : 0;
    state.counters["link_errors"] = worker.error.load() - firstError;
    state.counters["frame_bytes"] = worker.DiagnosticInfo.load().size();
}

} // namespace

// Argument 1: the fast protocol (21 0F, 51 bytes); 0: the standard protocol (21 01, 36 bytes).
BENCHMARK(DiagnosticPolling)->Arg(1)->Arg(0)->Iterations(40)->UseRealTime()->Unit(benchmark::kMillisecond);
