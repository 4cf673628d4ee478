#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace korvel {

class FirmwareImage;
class ProgramLog;
class TuningAddressSets;

// One working point of the 16 x 16 tuning grids: the firmware's values at its
// offset in every tuning table, and the state that tuning builds up there.
struct TuningCell {
    // A mean coefficient of 3.0 marks a cell not evaluated yet.
    static constexpr float kNotEvaluated = 3.0f;
    static constexpr int kMaxAirSamples = 16;
    static constexpr int kMaxSamples = 10000;

    // Firmware values.
    float corrThr = 0, corrKpa = 0; // byte / 128
    float gbcThr = 0;               // byte * 8 / 3
    float gbcKpa = 0;               // byte * 16 / 3
    float corr32a = 0, corr32b = 0; // byte / 128
    float ignThr = 0, ignKpa = 0;   // byte / 2
    float alfThr = 0, alfKpa = 0;   // (byte + 128) * 14.7 / 256
    float phase = 0;                // signed byte * 6
    int phaseCount = 0;

    // Correction tuning.
    int applied = 0;
    float corrCurrent = 0; // correction being tuned: byte / 128 of the table tuning corrects
    float meanCoef = kNotEvaluated;
    int sampleCount = 0;
    std::vector<float> samples; // samples[n - 1] is sample n

    // Air tuning.
    float meanAir = 0;
    int airCount = 0;
    std::array<float, kMaxAirSamples> airSamples{}; // airSamples[n - 1] is sample n

    // GBC write state: both start at byte * 8 / 3 of the cycle-filling table tuning writes.
    float gbcWritten = 0, gbcNew = 0;
    std::uint8_t gbcChanged = 0;

    // New values of the standard protocol ("Новая Поправка %", "Новое БЦН"),
    // and its smoothed mean of the cell's evaluations.
    float newCorr = 0, newGbc = 0;
    double smoothedMean = 0;
    bool hasSmoothedMean = false;
    // Neighbour learning.
    float learned = 0;

    // Statistics.
    double knockThr = 0, knockKpa = 0;
    double injLoadThr = 0, injLoadKpa = 0;

    // The fixed ignition table at 6DC8: byte / 2.
    float ignPartLoad = 0;

    // Samples counted from 1, as the accumulation numbers them. Sample n beyond
    // the bound is refused (false).
    bool setSample(int n, float value);
    float sample(int n) const;
    bool setAirSample(int n, float value);
    float airSample(int n) const;
};

// 16 rows (load index) of 16 columns (speed index); cell row * 16 + column is
// also the byte offset inside a 256-byte firmware table.
struct TuningGrid {
    static constexpr int kSize = 16;
    static constexpr int kCells = kSize * kSize;

    std::array<TuningCell, kCells> cells;

    TuningCell &at(int row, int col) { return cells[static_cast<std::size_t>(row * kSize + col)]; }
    const TuningCell &at(int row, int col) const { return cells[static_cast<std::size_t>(row * kSize + col)]; }
};

// Which load axis a grid choice is shown over: 3 cyclic air ("Фаза"), 1 throttle
// (choices ending in "%" and "Новое БЦН"), 2 pressure (the rest).
int gridKindOf(const QString &choice);

// `addtabl`: every cell back to its initial state, loaded from the present
// tables of the selected address set, with the working copies from the two
// tables tuning writes to and from the fixed ignition table. A table that does
// not lie inside the image (an absent table chosen for tuning) leaves its
// values at 0 and is reported in the log; returns false then.
bool addtabl(TuningGrid &grid, const FirmwareImage &image, const TuningAddressSets &sets, ProgramLog *log = nullptr);

} // namespace korvel
