// CPU time of the engine tick's own work and of a long CSV log.
#include "core/ControlBoard.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "live/CsvLog.h"
#include "live/EngineTick.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

QByteArray busyFrame(Protocol protocol) {
    QByteArray frame(frameLength(protocol), '\0');
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<char>(37 * i + 11);
    return frame;
}

TickInputs benchInputs() {
    TickInputs inputs;
    inputs.settings.showErrors = true;
    inputs.settings.showKnock = true;
    inputs.lambdaAfr = 14.2;
    inputs.pressureSensor = {true, 2.0, 0.5};
    return inputs;
}

// One processed tick: indications, decoding, both panels, the CSV line.
void processedTick(benchmark::State &state, Protocol protocol) {
    ControlBoard board;
    EngineTick tick(board);
    ErrorNameTable names;
    for (auto &byte : names)
        for (QString &name : byte)
            name = QStringLiteral("Датчик массового расхода воздуха: высокий уровень");
    tick.setErrorNames(names);
    tick.startConnection(protocol);
    const TickInputs inputs = benchInputs();
    QByteArray frame = busyFrame(protocol);
    const QTime now(12, 34, 56);
    int numlog = 0;
    for (auto _ : state) {
        frame[12] = static_cast<char>(numlog & 0xFF); // the values change from frame to frame
        const TickOutcome outcome = tick.processFrame(frame, ++numlog, inputs);
        tick.setWorkPoint(numlog & 0xFF);
        const QString line = CsvLog::line(tick.channels(), tick.channelCount(), {}, now, QLatin1Char(','));
        benchmark::DoNotOptimize(outcome);
        benchmark::DoNotOptimize(line.size());
    }
}

void BM_ProcessedTickFast(benchmark::State &state) {
    processedTick(state, Protocol::Fast);
}
void BM_ProcessedTickStandard(benchmark::State &state) {
    processedTick(state, Protocol::Standard);
}

// One hour at 20 frames per second: 72,000 lines, written every 101 lines and at disconnect.
void BM_CsvLogOneHour(benchmark::State &state) {
    constexpr int kLines = 3600 * 20;
    ControlBoard board;
    EngineTick tick(board);
    tick.startConnection(Protocol::Fast);
    tick.processFrame(busyFrame(Protocol::Fast), 1, benchInputs());
    for (auto _ : state) {
        QTemporaryDir work;
        LogDirectory directory(work.path());
        ProgramLog log;
        CsvLog csv(directory, log);
        csv.start(Protocol::Fast, QLatin1Char(','));
        QTime now(10, 0, 0);
        for (int i = 0; i < kLines; ++i)
            csv.append(tick.channels(), {1, 1, i % 9, i % 13, i / 500, 0, 1.0, 1.0078125}, now.addMSecs(i * 50));
        csv.stop();
        benchmark::DoNotOptimize(csv.linesOnDisk());
    }
}

} // namespace

BENCHMARK(BM_ProcessedTickFast);
BENCHMARK(BM_ProcessedTickStandard);
BENCHMARK(BM_CsvLogOneHour)->Unit(benchmark::kMillisecond);
