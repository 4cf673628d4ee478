#pragma once

#include <QByteArray>

#include <cstdint>

namespace korvel {

class FirmwareImage;
class FirmwareStore;
struct TuningGrid;

// A whole 256-byte table gathered from the grid (cell order) and how many
// cells brought a new value into it.
struct GatheredTable {
    QByteArray bytes;
    int taken = 0;
};

// The cycle-filling table in `gbcColumn` of the address set (by throttle or
// by pressure, each on its own scale) from every cell's newly learned
// filling; a cell whose filling changed since the last write is taken over
// (written, marked, and shown in that table's values).
GatheredTable gatherGbc(TuningGrid &grid, int gbcColumn);
// Cells whose newly learned filling is not yet written.
int pendingGbc(const TuningGrid &grid);

// The correction table with the neighbours' learning taken over: a cell whose
// learned value differs from its correction starts again from the learned one.
GatheredTable gatherLearned(TuningGrid &grid, bool byPressure);
// Cells whose learned value is not yet taken over.
int pendingLearned(const TuningGrid &grid);

// The phase table from every cell's phase.
QByteArray phaseTableBytes(const TuningGrid &grid);

// VRK's cycle-filling table by pressure. No copy of the tuned table is made
// here: without the air-flow sensor it is the tuned table itself, and with the
// sensor the tuned one lies over the throttle axis on another scale.
inline constexpr std::int64_t kSecondGbcCopy = 0x726D;

// The editor's table write in whole 64-byte blocks.
struct WholeBlocksWrite {
    QByteArray bytes; // blocks × 64 image bytes from the address
    int blocks = 0;
    int lastCount = 0; // bytes of the table in its last block
};
WholeBlocksWrite blockWrite(const FirmwareImage &image, std::int64_t address, int size);

// The part-load ignition rework: every column's ignition over rows 1..14 on
// a straight line between rows 0 and 15 over the cycle filling, written into
// the image's fixed ignition table. A column whose first and last rows have
// the same filling keeps its values.
inline constexpr std::int64_t kPartLoadIgnitionTable = 0x6DC8;
void reworkPartLoadIgnition(TuningGrid &grid, FirmwareStore &store, std::int64_t ignitionByThrottle,
                            std::int64_t gbcByThrottle);

} // namespace korvel
