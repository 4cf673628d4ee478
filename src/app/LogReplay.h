#pragma once

#include "live/CsvLogReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace korvel {

class SettingsList;

// The tables a replay corrects, in the order they are reported.
enum class ReplayTable { Correction, CycleFilling, Phase };

// What the tuner took from the log in one cell of the 16 x 16 grid.
struct ReplayCellHits {
    int hits = 0;        // samples the tuner accepted there
    double errorSum = 0; // of (measured / desired ratio - 1) over them
    double meanErrorPct() const { return hits > 0 ? 100 * errorSum / hits : 0; }
};

// One cell whose byte the replay changed.
struct ReplayedCell {
    int index = 0; // row (load) * 16 + column (speed): the byte offset in the table
    std::uint8_t before = 0, after = 0;
    int hits = 0;
    double meanErrorPct = 0; // as the drive showed it; positive: leaner than the target
};

struct ReplayedTable {
    ReplayTable table = ReplayTable::Correction;
    std::int64_t address = -1;
    std::vector<ReplayedCell> cells; // in cell order
};

struct ReplayOutcome {
    bool started = false; // tuning started; when not, `log` says why
    QStringList log;      // the program log lines of the replay
    int frames = 0;       // log lines replayed
    double seconds = 0;   // the drive's length
    QByteArray image;     // the corrected image
    std::array<ReplayCellHits, 256> cells{};
    std::vector<ReplayedTable> tables; // every table tuning works on, corrected cells or not
    int correctedCells() const;
};

// Runs a logged drive through the session's tuning as if it came from the
// ECU now: each line becomes the diagnostic frame it was decoded from, goes
// through the engine tick with the logged wideband reading, and is tuned by
// the tuning controller, whose write-back timers fire on the drive's own
// clock. The ECU runs `image` (its SWID, complectation and tables), tuning
// starts with the first line and takes the settings given (the protocol is
// the log's), the last cycle-filling write-back runs after the last line.
// `workDir` holds hexdata.cfg; empty: the built-in address sets only.
ReplayOutcome replayCsvLog(const CsvLogContents &log, const QByteArray &image, const SettingsList &settings,
                           const QString &workDir);

QString replayTableName(ReplayTable table);

} // namespace korvel
