// What the table editor and the tuning set-up cost on a 64 KB image.
#include "core/ProgramLog.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareStore.h"
#include "firmware/HexModel.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"

#include <benchmark/benchmark.h>

using namespace korvel;

namespace {

FirmwareImage demo() {
    return *FirmwareImage::fromBytes(makeDemoFirmware());
}

// A whole 16 x 16 table written cell by cell, each write keeping an undo copy.
void BM_WholeTableWrite(benchmark::State &state) {
    FirmwareStore store;
    store.loadImage(demo());
    QStringList addresses;
    for (int i = 0; i < 256; ++i)
        addresses << IntToHexEven(0x7CF7 + i);
    int value = 0;
    for (auto _ : state) {
        store.PushUndo();
        for (const QString &address : addresses)
            store.WriteCell(++value & 0xFF, celltype::Unsigned8, address);
        benchmark::DoNotOptimize(store.image().bytes().constData());
    }
}
BENCHMARK(BM_WholeTableWrite);

// The axes from the image: the code scan over 64 KB and the four axes.
void BM_AxesFromImage(benchmark::State &state) {
    const FirmwareImage image = demo();
    for (auto _ : state)
        benchmark::DoNotOptimize(axesFromImage(image, 1));
}
BENCHMARK(BM_AxesFromImage);

// Every cell of the grid reloaded from the image.
void BM_Addtabl(benchmark::State &state) {
    const FirmwareImage image = demo();
    TuningAddressSets sets;
    ProgramLog log;
    sets.addhexdata(2, QString());
    sets.selectAirMeasurement("0", QString(), log);
    TuningGrid grid;
    for (auto _ : state)
        benchmark::DoNotOptimize(addtabl(grid, image, sets));
}
BENCHMARK(BM_Addtabl);

// Opening the hex view: the snapshot and its search text, then one screen of
// 40 rows drawn (texts and colours of every cell).
void BM_HexViewOpen(benchmark::State &state) {
    const FirmwareImage image = demo();
    HexModel model;
    for (auto _ : state) {
        model.takehex(image);
        for (int row = 1; row <= 40; ++row)
            for (int column = 0; column < kHexGridColumns; ++column) {
                const QModelIndex index = model.index(row, column);
                benchmark::DoNotOptimize(index.data());
                benchmark::DoNotOptimize(index.data(HexModel::BackgroundRgbRole));
            }
    }
}
BENCHMARK(BM_HexViewOpen);

// A search that runs through the whole image without a match.
void BM_HexSearchMiss(benchmark::State &state) {
    HexModel model;
    model.takehex(demo());
    for (auto _ : state)
        benchmark::DoNotOptimize(model.findhex(QStringLiteral("0123456789ABCDEF")));
}
BENCHMARK(BM_HexSearchMiss);

} // namespace

BENCHMARK_MAIN();
