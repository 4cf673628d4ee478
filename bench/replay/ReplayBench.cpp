// Wall time to tune from a recorded drive: reading the CSV log of a drive of
// the given minutes (20 frames a second, the simulated car driven untuned)
// and replaying it through the session's tuning against the demo firmware.
#include "app/LogReplay.h"
#include "cli/ClosedLoopHarness.h"
#include "core/Cp1251.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "live/CsvLog.h"

#include <QTime>

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

using namespace korvel;

namespace {

const QByteArray &loggedDrive(int minutes) {
    static std::map<int, QByteArray> logs;
    QByteArray &bytes = logs[minutes];
    if (!bytes.isEmpty())
        return bytes;
    bytes = cp1251::encode(CsvLog::header(Protocol::Fast, QLatin1Char(','))) + "\r\n";
    cli::HarnessOptions options;
    options.minutes = minutes;
    options.tune = false;
    const QTime start(10, 0, 0);
    options.onFrame = [&bytes, start](double seconds, const LiveChannels &channels, const TuningTrace &trace) {
        const QTime at = start.addMSecs(static_cast<int>(std::llround(seconds * 1000)));
        bytes += cp1251::encode(CsvLog::line(channels, kFastChannelCount, trace, at, QLatin1Char(',')));
        bytes += "\r\n";
    };
    cli::runClosedLoopTuning(options);
    return bytes;
}

void BM_ReplayLog(benchmark::State &state) {
    const int minutes = static_cast<int>(state.range(0));
    // Minute 0 and the settling seconds come on top of the minutes asked for.
    const QByteArray &bytes = loggedDrive(minutes - 1);
    const QByteArray image = makeDemoFirmware();
    SettingsList settings;
    settings.load(QStringLiteral(KORVEL_SOURCE_DIR "/data/config.ini"));
    settings.setValue(setting::FirmwareType, QStringLiteral("j5ls"));
    int corrected = 0, frames = 0;
    for (auto _ : state) {
        const CsvLogContents log = readCsvLog(bytes);
        const ReplayOutcome outcome = replayCsvLog(log, image, settings, QString());
        corrected = outcome.correctedCells();
        frames = outcome.frames;
        benchmark::DoNotOptimize(outcome.image.data());
    }
    state.counters["frames"] = frames;
    state.counters["corrected_cells"] = corrected;
    state.counters["log_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

} // namespace

BENCHMARK(BM_ReplayLog)->Arg(1)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();
