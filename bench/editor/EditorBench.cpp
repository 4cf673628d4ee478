// The table view and a drag step: what the user waits for after every edit.
#include "editor/TableEditorController.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareStore.h"
#include "firmware/MapBuilder.h"

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

struct Rig {
    FirmwareStore store;
    TableEditorController editor{store};
    CalibrationMap map;

    explicit Rig(int size) {
        store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
        map.bytes = buildCalibrationMap(QStringLiteral("group 1 Карта\nkind 2\naddress 4000\ncelltype 2\n"
                                                       "xcode !001-613C-40\nycode !006-7208\nd4 0.01\n"
                                                       "cells %1\nrows %1\n")
                                            .arg(size))
                        .value();
    }
    void show() { editor.showTable(map, TableRef{2, QStringLiteral("Карта"), 22}); }
};

void ShowTable(benchmark::State &state) {
    Rig rig(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rig.show();
        benchmark::DoNotOptimize(rig.editor.view().cells.size());
    }
}
BENCHMARK(ShowTable)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

// One drag event and the release that writes the table back and shows it again.
void DragStep(benchmark::State &state) {
    Rig rig(16);
    rig.show();
    double y = 1;
    for (auto _ : state) {
        rig.editor.dragPoint(1, 5, y);
        rig.editor.chartReleased(false, 5, y, 0, 0);
        y = y > 100 ? 1 : y + 0.37;
    }
}
BENCHMARK(DragStep)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
