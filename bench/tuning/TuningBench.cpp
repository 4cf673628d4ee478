// CPU time of one engine tick with tuning on: decoding, the working point,
// the settings read, the accumulation with its evaluations and neighbour
// learning, the neighbours' table over all 256 cells, the cell statistics and
// the CSV line with the tuning trace.
#include "core/ControlBoard.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareFamily.h"
#include "firmware/FirmwareStore.h"
#include "live/CsvLog.h"
#include "live/EngineTick.h"
#include "tuning/Accumulator.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"
#include "tuning/WorkingPoint.h"
#include "tuning/WriteBack.h"

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

void BM_TuningTickFast(benchmark::State &state) {
    FirmwareStore store;
    store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
    const GridAxes axes = axesFromImage(store.image(), firmwarefamily::J5ls);
    TuningGrid grid;
    for (TuningCell &c : grid.cells)
        c.corrCurrent = c.learned = c.corrThr = 1.0f;

    SettingsList settings;
    settings.setValue(setting::MinRpm, "600");
    settings.setValue(setting::MinCorrection, "0.5");
    settings.setValue(setting::MaxCorrection, "1.5");
    settings.setValue(setting::NeighbourFactor, "50");
    settings.setValue(setting::StationaryCycles, "2");
    settings.setValue(setting::CyclesPerEvaluation, "5");

    Accumulator acc(grid, axes, store);
    acc.setTables({0x7CF7, -1});
    acc.startConnection(2);
    acc.start(false, true);
    WorkingPointModel model;

    ControlBoard board;
    EngineTick tick(board);
    tick.startConnection(Protocol::Fast);
    TickInputs inputs;
    inputs.lambdaAfr = 14.2;
    inputs.pressureSensor = {true, 2.0, 0.5};
    QByteArray frame(frameLength(Protocol::Fast), '\0');
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<char>(37 * i + 11);
    frame[9] = 30;  // the ECU's ratio
    frame[11] = 35; // throttle
    const QTime now(12, 34, 56);
    int numlog = 0;
    for (auto _ : state) {
        frame[12] = static_cast<char>(60 + (numlog / 40) % 40); // a new cell every 40 ticks
        const TickOutcome outcome = tick.processFrame(frame, ++numlog, inputs);
        const std::optional<TuningSettings> s = TuningSettings::read(settings, nullptr);
        const LiveParameters &live = tick.parameters();
        const WorkingPoint wp = model.compute(axes, {live.rpm, live.throttle, live.pressure}, s->byPressure);
        tick.setWorkPoint(wp.index());
        acc.tickFast({live, *s, true});
        acc.tickStatistics(live, *s);
        const GatheredTable learned = gatherLearned(grid, false);
        const QString line = CsvLog::line(tick.channels(), tick.channelCount(), acc.trace(), now, QLatin1Char(','));
        benchmark::DoNotOptimize(outcome);
        benchmark::DoNotOptimize(learned.taken);
        benchmark::DoNotOptimize(line.size());
    }
    state.counters["evaluations"] = acc.counters().evaluations;
}
BENCHMARK(BM_TuningTickFast)->Unit(benchmark::kMicrosecond);

} // namespace
