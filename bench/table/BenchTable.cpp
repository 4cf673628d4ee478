// Runs the benchmarks of a Release build and prints one Markdown table, each
// figure beside its limit or goal:
//
//   bench_table BUILD_DIR [--quick]
//
// --quick shortens every run and leaves out the serial exchange, which has a
// smoke run of its own (a check that the table still comes together, not
// figures to quote). Exits non-zero when a benchmark fails to run.
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

struct Row {
    QString what;
    QString measured;
    QString limit;
    QString verdict; // "yes", "no" or "-" where the figure has no bound
};

QString build;
bool quick = false;
int failures = 0;

std::optional<QByteArray> run(const QString &program, const QStringList &args, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QDir(build).filePath(program), args);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        fprintf(stderr, "%s did not run to its end\n", qPrintable(program));
        process.kill();
        ++failures;
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

// Google Benchmark's JSON: the real time of each named run, in its unit.
std::optional<double> benchmarkTime(const QByteArray &json, const QString &name) {
    const QJsonArray runs = QJsonDocument::fromJson(json).object().value(QStringLiteral("benchmarks")).toArray();
    for (const QJsonValue &v : runs) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("name")).toString() == name)
            return o.value(QStringLiteral("cpu_time")).toDouble();
    }
    return std::nullopt;
}

std::optional<QByteArray> googleBenchmark(const QString &program, const QString &filter) {
    QStringList args{QStringLiteral("--benchmark_format=json"), QStringLiteral("--benchmark_filter=") + filter};
    if (quick)
        args << QStringLiteral("--benchmark_min_time=0.01");
    return run(program, args, 600000);
}

// "key value" lines of the printing benchmarks.
std::optional<double> printed(const QByteArray &out, const QByteArray &key) {
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith(key + ' '))
            return line.mid(key.size() + 1).trimmed().toDouble();
    return std::nullopt;
}

QString number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

QString within(double value, double bound) {
    return value <= bound ? QStringLiteral("yes") : QStringLiteral("no");
}

void exchangeRows(QList<Row> &rows) {
    const struct {
        int caseNumber;
        const char *mode;
    } modes[] = {{1, "\"Быстрый обмен\" = \"нет\" (20 + 150 ms)"}, {2, "\"Быстрый обмен\" = \"да\" (0 / 150 ms)"}};
    for (const auto &m : modes) {
        const QStringList args{QStringLiteral("--case"), QString::number(m.caseNumber), QStringLiteral("--figures")};
        const std::optional<QByteArray> out = run(QStringLiteral("bench/ecu/exchange_bench"), args, 900000);
        if (!out)
            continue;
        const QList<QByteArray> f = out->mid(out->indexOf("figures ")).split('\n').value(0).split(' ');
        if (f.size() < 5)
            continue;
        const double fps = f[1].toDouble(), limit = f[2].toDouble(), read = f[3].toDouble(),
                     readLimit = f[4].toDouble();
        const QString mode = QString::fromUtf8(m.mode);
        // Goals: the fast exchange within 90 % of the line, its read within 1.2 x; the paced one is bound by its
        // pauses.
        const bool fast = m.caseNumber == 2;
        rows.append({QStringLiteral("Diagnostic frames/s, ") + mode, number(fps, 2),
                     QStringLiteral("%1 physical%2").arg(number(limit, 2), fast ? QStringLiteral("; goal 90 %") : ""),
                     fast ? (fps >= 0.9 * limit ? QStringLiteral("yes") : QStringLiteral("no")) : QStringLiteral("-")});
        if (read > 0)
            rows.append({QStringLiteral("Firmware read, ") + mode, number(read, 1) + QStringLiteral(" s"),
                         QStringLiteral("%1 s physical%2")
                             .arg(number(readLimit, 1), fast ? QStringLiteral("; goal 1.2 × = ") +
                                                                   number(1.2 * readLimit, 1) + QStringLiteral(" s")
                                                             : ""),
                         fast ? within(read, 1.2 * readLimit) : QStringLiteral("-")});
    }
}

void cpuRows(QList<Row> &rows) {
    if (const auto out = googleBenchmark(QStringLiteral("bench/tuning/tuning_bench"), QStringLiteral("TuningTickFast")))
        if (const auto us = benchmarkTime(*out, QStringLiteral("BM_TuningTickFast")))
            rows.append({QStringLiteral("Engine tick with tuning (decode, working point, accumulation, neighbour "
                                        "learning, statistics, CSV line)"),
                         number(*us, 1) + QStringLiteral(" µs"), QStringLiteral("200 µs"), within(*us, 200)});
    if (const auto out = googleBenchmark(QStringLiteral("bench/live/charts_bench"), QStringLiteral("chartFrame/0")))
        if (const auto ns = benchmarkTime(*out, QStringLiteral("chartFrame/0")))
            rows.append({QStringLiteral("Chart update per frame, all 56 channels ticked"),
                         number(*ns / 1000, 1) + QStringLiteral(" µs"), QStringLiteral("50 ms engine tick"),
                         within(*ns / 1e6, 50)});
    if (const auto out = googleBenchmark(QStringLiteral("bench/editor/editor_bench"), QStringLiteral("ShowTable")))
        for (const int n : {16, 32})
            if (const auto us = benchmarkTime(*out, QStringLiteral("ShowTable/%1").arg(n)))
                rows.append({QStringLiteral("`ShowTable`, %1 × %1 map of 16-bit cells").arg(n),
                             number(*us / 1000, 2) + QStringLiteral(" ms"), QStringLiteral("16 ms (a screen frame)"),
                             within(*us / 1000, 16)});
    if (const auto out = googleBenchmark(QStringLiteral("bench/live/live_bench"), QStringLiteral("CsvLogOneHour")))
        if (const auto ms = benchmarkTime(*out, QStringLiteral("BM_CsvLogOneHour")))
            rows.append({QStringLiteral("CSV log line (one hour at 20 frames/s = 72,000 lines)"),
                         number(*ms * 1000 / 72000, 2) + QStringLiteral(" µs"), QStringLiteral("50 ms engine tick"),
                         within(*ms / 72000, 50)});
}

void windowRows(QList<Row> &rows) {
    const QStringList args{QStringLiteral("--seconds"), quick ? QStringLiteral("2") : QStringLiteral("30")};
    const std::optional<QByteArray> out = run(QStringLiteral("bench/ui/window_bench"), args, 600000);
    if (!out)
        return;
    if (const auto ms = printed(*out, "startup_ms"))
        rows.append({QStringLiteral("Start-up to the first shown window (demo)"),
                     number(*ms, 0) + QStringLiteral(" ms"), QStringLiteral("1 s"), within(*ms, 1000)});
    const auto start = printed(*out, "rss_start_kb");
    const auto charts = printed(*out, "rss_all_charts_kb");
    if (start && charts)
        rows.append({QStringLiteral("Resident memory: at start / demo polling with all 56 charts"),
                     QStringLiteral("%1 MB / %2 MB").arg(number(*start / 1024, 1), number(*charts / 1024, 1)),
                     QStringLiteral("200 MB"), within(*charts / 1024, 200)});
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        fprintf(stderr, "usage: bench_table BUILD_DIR [--quick]\n");
        return 2;
    }
    build = args.at(1);
    quick = args.contains(QStringLiteral("--quick"));

    QList<Row> rows;
    if (!quick)
        exchangeRows(rows);
    cpuRows(rows);
    windowRows(rows);

    printf("| What | Measured | Limit or goal | Within |\n|---|---|---|---|\n");
    for (const Row &r : rows)
        printf("| %s | %s | %s | %s |\n", qPrintable(r.what), qPrintable(r.measured), qPrintable(r.limit),
               qPrintable(r.verdict));
    return failures == 0 ? 0 : 1;
}
