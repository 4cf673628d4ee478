#include "tuning/WriteBack.h"

#include "core/Numbers.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareStore.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/CorrectionRules.h"
#include "tuning/PhaseTuning.h"
#include "tuning/TuningGrid.h"

#include <algorithm>

namespace korvel {
namespace {
constexpr int kBlock = 64;
} // namespace

GatheredTable gatherGbc(TuningGrid &grid, int gbcColumn) {
    const bool byPressure = gbcColumn == tuningcolumn::GbcKpa;
    const double scale = gbcScale(gbcColumn);
    GatheredTable out;
    out.bytes.resize(TuningGrid::kCells);
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        TuningCell &c = grid.cells[static_cast<std::size_t>(i)];
        if (c.gbcNew != c.gbcWritten) {
            ++out.taken;
            c.gbcChanged = 1;
            c.gbcWritten = c.gbcNew;
            (byPressure ? c.gbcKpa : c.gbcThr) = c.gbcNew;
        }
        out.bytes[i] = static_cast<char>(gbcByte(c.gbcNew, scale));
    }
    return out;
}

int pendingGbc(const TuningGrid &grid) {
    return static_cast<int>(std::count_if(grid.cells.begin(), grid.cells.end(),
                                          [](const TuningCell &c) { return c.gbcNew != c.gbcWritten; }));
}

int pendingLearned(const TuningGrid &grid) {
    return static_cast<int>(std::count_if(grid.cells.begin(), grid.cells.end(),
                                          [](const TuningCell &c) { return c.corrCurrent != c.learned; }));
}

GatheredTable gatherLearned(TuningGrid &grid, bool byPressure) {
    GatheredTable out;
    out.bytes.resize(TuningGrid::kCells);
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        TuningCell &c = grid.cells[static_cast<std::size_t>(i)];
        if (c.corrCurrent != c.learned) {
            c.corrCurrent = c.learned;
            c.sampleCount = 0;
            ++c.applied;
            ++out.taken;
            (byPressure ? c.corrKpa : c.corrThr) = c.corrCurrent;
        }
        out.bytes[i] = static_cast<char>(correctionByte(c.corrCurrent));
    }
    return out;
}

QByteArray phaseTableBytes(const TuningGrid &grid) {
    QByteArray bytes(TuningGrid::kCells, '\0');
    for (int i = 0; i < TuningGrid::kCells; ++i)
        bytes[i] = static_cast<char>(phaseByte(grid.cells[static_cast<std::size_t>(i)].phase));
    return bytes;
}

WholeBlocksWrite blockWrite(const FirmwareImage &image, std::int64_t address, int size) {
    WholeBlocksWrite out;
    if (size <= 0)
        return out;
    out.blocks = (size + kBlock - 1) / kBlock;
    out.lastCount = size - (out.blocks - 1) * kBlock;
    out.bytes = image.slice(address, out.blocks * kBlock);
    return out;
}

void reworkPartLoadIgnition(TuningGrid &grid, FirmwareStore &store, std::int64_t ignitionTable, std::int64_t gbcTable) {
    const FirmwareImage &image = store.image();
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        TuningCell &c = grid.cells[static_cast<std::size_t>(i)];
        c.ignPartLoad = static_cast<float>(image.byteAt(ignitionTable + i).value_or(0) / 2.0);
        c.gbcWritten = static_cast<float>(image.byteAt(gbcTable + i).value_or(0) * 8 / 3.0);
    }
    for (int col = 0; col < TuningGrid::kSize; ++col) {
        const double g0 = grid.at(0, col).gbcWritten;
        const double g15 = grid.at(15, col).gbcWritten;
        if (g15 == g0)
            continue;
        const double i0 = grid.at(0, col).ignPartLoad;
        const double i15 = grid.at(15, col).ignPartLoad;
        for (int row = 1; row <= 14; ++row) {
            const double g = grid.at(row, col).gbcWritten;
            grid.at(row, col).ignPartLoad = static_cast<float>(i0 - (g - g0) * (i0 - i15) / (g15 - g0));
        }
    }
    QByteArray bytes(TuningGrid::kCells, '\0');
    for (int i = 0; i < TuningGrid::kCells; ++i)
        bytes[i] = static_cast<char>(std::clamp(
            static_cast<int>(roundHalfEven(grid.cells[static_cast<std::size_t>(i)].ignPartLoad * 2.0)), 0, 255));
    store.storeBytes(kPartLoadIgnitionTable, bytes);
}

} // namespace korvel
