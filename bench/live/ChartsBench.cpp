// CPU time of the per-frame data work of the full diagnostic view with every
// channel of the fast protocol ticked, and of one recorded acceleration frame.
#include "app/ChartsController.h"
#include "core/ProgramLog.h"
#include "live/AccelerationRuns.h"
#include "live/AccelerationTest.h"
#include "live/FrameLayout.h"
#include "live/LiveParameters.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

void fill(LiveChannels &channels, int frame) {
    for (int q = 1; q <= kFastChannelCount; ++q)
        channels.set(q, static_cast<float>(q * 13.37 + (frame % 97) * 0.001));
}

// Range(0): the history length position (0: 262 points per chart, 20: 62).
void chartFrame(benchmark::State &state) {
    QTemporaryDir dir;
    LiveChannels channels;
    ProgramLog log;
    ChartsController charts(channels, log, dir.path());
    charts.startDiagnostics(channelNames(Protocol::Fast));
    for (int q = 1; q <= charts.channelCount(); ++q)
        charts.setTicked(q, true);
    charts.setHistoryPosition(static_cast<int>(state.range(0)));
    int frame = 0;
    for (auto _ : state) {
        fill(channels, ++frame);
        charts.updateFrame();
        benchmark::DoNotOptimize(charts.points(56).data());
    }
    state.SetItemsProcessed(state.iterations() * kFastChannelCount);
}
BENCHMARK(chartFrame)->Arg(0)->Arg(20);

// One counted frame of a running acceleration test: a new column of 56 values
// and their minimum, mean and maximum. The grid grows as a long run's would.
void accelerationFrame(benchmark::State &state) {
    AccelerationRuns runs;
    runs.setChannels(channelNames(Protocol::Fast));
    AccelerationTest test(runs);
    LiveChannels channels;
    int counter = 1;
    for (auto _ : state) {
        if (!test.armed() || counter > 2000) { // a fresh run every 2000 frames
            state.PauseTiming();
            if (test.armed())
                test.toggleArmed();
            test.toggleArmed();
            counter = 1;
            fill(channels, counter);
            test.step({10, QStringLiteral("0"), QStringLiteral("1000"), counter, 5, &channels});
            state.ResumeTiming();
        }
        fill(channels, ++counter);
        test.step({10, QStringLiteral("0"), QStringLiteral("1000"), counter, 5, &channels});
    }
}
BENCHMARK(accelerationFrame);

} // namespace
