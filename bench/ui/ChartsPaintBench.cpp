// Window cost of the full diagnostic view with every channel of the fast
// protocol shown: taking one frame into the charts, and painting the view.
// The repaint runs once per screen refresh, however many frames arrive.
#include "app/ChartsController.h"
#include "core/ProgramLog.h"
#include "live/FrameLayout.h"
#include "live/LiveParameters.h"
#include "ui/DiagnosticCharts.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace korvel;

namespace {

struct ShownCharts {
    ShownCharts() : charts(channels, log, dir.path()), view(charts, &list) {
        view.resize(1000, 900);
        list.resize(250, 900);
        charts.startDiagnostics(channelNames(Protocol::Fast));
        for (int q = 1; q <= charts.channelCount(); ++q)
            charts.setTicked(q, true);
        view.show();
        list.show();
    }
    void frame(int n) {
        for (int q = 1; q <= kFastChannelCount; ++q)
            channels.set(q, static_cast<float>(q * 10 + 5 * std::sin(n / 7.0 + q)));
        charts.updateFrame();
    }
    QTemporaryDir dir;
    LiveChannels channels;
    ProgramLog log;
    ChartsController charts;
    QScrollArea list;
    ui::DiagnosticCharts view;
};

// Series and labels of all 56 charts brought up to date (one repaint).
void chartsRepaint(benchmark::State &state) {
    ShownCharts shown;
    int n = 0;
    for (auto _ : state) {
        shown.frame(++n);
        shown.view.repaintNow();
    }
}
BENCHMARK(chartsRepaint)->Unit(benchmark::kMillisecond);

// The same, and the visible part of the chart area rendered.
void chartsRepaintAndRender(benchmark::State &state) {
    ShownCharts shown;
    QImage image(shown.view.size(), QImage::Format_ARGB32_Premultiplied);
    int n = 0;
    for (auto _ : state) {
        shown.frame(++n);
        shown.view.repaintNow();
        QPainter painter(&image);
        shown.view.render(&painter);
    }
}
BENCHMARK(chartsRepaintAndRender)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
