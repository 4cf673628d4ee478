// What writing the CSV log costs at minute 1, hour 1 and hour 8 of a drive.
//
// The log gets one line per processed frame. The engine timer processes at
// most one frame per 50 ms tick (the fast exchange polls 27 frames a second,
// so nearly every tick has a new one): 20 lines a second, 72,000 an hour,
// 576,000 by hour 8. The file is filled with that many real lines of the fast
// protocol before the timing (BM_CsvLogLine: through the log itself), then:
//   BM_CsvWriterBatch: the writer thread's cost of one 101-line batch (one
//     write and fdatasync) on a log of that length;
//   BM_CsvLogLine: the window's cost of one line (formatting, and handing a
//     batch to the writer every 101 lines) once the log has that many lines,
//     while the writer appends them.
// Both are to be the same at hour 8 as at minute 1.
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "live/CsvLog.h"
#include "live/FrameLayout.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

constexpr int kLinesPerMinute = 20 * 60;

LiveChannels busyChannels(int n) {
    LiveChannels channels;
    for (int q = 1; q <= kFastChannelCount; ++q)
        channels.set(q, static_cast<float>((n * 37 + q * 101) % 100000) / 8.0f);
    return channels;
}

QByteArray batchOfLines(int from, int count) {
    QByteArray bytes;
    for (int n = from; n < from + count; ++n)
        bytes += CsvLog::line(busyChannels(n), kFastChannelCount, {1, 1, n % 9, n % 13, n / 500, 0, 1.0, 1.0078125},
                              QTime(10, 0, 0).addMSecs(n * 50), kLogFieldSeparator)
                     .toLatin1() +
                 "\r\n";
    return bytes;
}

// A log file of `minutes` of lines, on disk (fdatasync done) before the timing.
bool growLog(AppendOnlyFile &file, const QString &path, int minutes) {
    if (!file.create(path).isEmpty())
        return false;
    const QByteArray block = batchOfLines(0, CsvLog::kLinesPerWrite + 1);
    const int blocks = minutes * kLinesPerMinute / (CsvLog::kLinesPerWrite + 1);
    QByteArray chunk;
    for (int i = 0; i < blocks; ++i) {
        chunk += block;
        if (chunk.size() > (8 << 20) || i == blocks - 1) {
            if (!file.append(chunk).isEmpty())
                return false;
            chunk.clear();
        }
    }
    return true;
}

void BM_CsvWriterBatch(benchmark::State &state) {
    QTemporaryDir work;
    AppendOnlyFile file;
    if (!growLog(file, work.filePath(CsvLog::kFileName), static_cast<int>(state.range(0)))) {
        state.SkipWithError("the log could not be filled");
        return;
    }
    const qint64 before = file.size();
    const QByteArray batch = batchOfLines(1000, CsvLog::kLinesPerWrite + 1);
    for (auto _ : state) {
        if (!file.append(batch).isEmpty()) {
            state.SkipWithError("append failed");
            break;
        }
    }
    state.counters["log_MB"] = static_cast<double>(before) / 1e6;
    state.counters["batch_bytes"] = static_cast<double>(batch.size());
}

void BM_CsvLogLine(benchmark::State &state) {
    QTemporaryDir work;
    LogDirectory directory(work.path());
    ProgramLog log;
    CsvLog csv(directory, log);
    csv.start(Protocol::Fast, kLogFieldSeparator);
    const TuningTrace trace{1, 1, 4, 12, 3, 1, 1.0, 1.0078125};
    const QTime now(10, 0, 0);
    const int lines = static_cast<int>(state.range(0)) * kLinesPerMinute;
    for (int n = 0; n < lines; ++n)
        csv.append(busyChannels(n % 997), trace, now);
    csv.waitWritten();
    const LiveChannels channels = busyChannels(7);
    for (auto _ : state)
        csv.append(channels, trace, now);
    csv.stop();
    csv.waitWritten();
    state.counters["lines_on_disk"] = csv.linesOnDisk();
}

} // namespace

BENCHMARK(BM_CsvWriterBatch)->ArgName("minutes")->Arg(1)->Arg(60)->Arg(480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvLogLine)->ArgName("minutes")->Arg(1)->Arg(60)->Arg(480)->Unit(benchmark::kMicrosecond);
