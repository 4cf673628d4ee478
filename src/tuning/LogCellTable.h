#pragma once

#include "live/CsvLogReader.h"
#include "tuning/GridAxes.h"

#include <QString>

#include <array>
#include <optional>

namespace korvel {

// What a logged drive shows per cell of the tuning grid.
enum class LogQuantity {
    AfrError, // wideband over the ECU's target ratio - 1, percent (frames with a reading)
    Afr,      // the wideband ratio (frames with a reading)
    Ignition, // the ignition advance, degrees
    Knock,    // frames with the knock flag (a count, not a mean)
};

struct LogQuantityName {
    LogQuantity quantity;
    const char *cliName; // as `korvel-cli log table --quantity` takes it
    const char *caption; // as the grid page offers it, UTF-8
};
const std::array<LogQuantityName, 4> &logQuantityNames();
std::optional<LogQuantity> logQuantityOf(const QString &cliName);

struct LogCell {
    int count = 0;    // frames in the cell that carry the quantity
    double value = 0; // their mean; for knock the number of knocking frames
};

struct LogCellTable {
    LogQuantity quantity = LogQuantity::AfrError;
    std::array<LogCell, 256> cells{}; // row (load) * 16 + column (speed)
    int placedFrames = 0;             // frames that carried the quantity and found a cell
};

// Where each frame lies: in the ECU's own cell of its engine speed and load
// (throttle, or the pressure channel with `byPressure`) on the given axes.
LogCellTable logCellTable(const CsvLogContents &log, const GridAxes &axes, bool byPressure, LogQuantity quantity);

// The same with the cell the program logged as the working point (channel 1
// of a fast-protocol log): no firmware needed. Nothing for a standard log.
std::optional<LogCellTable> logCellTableByLoggedPoint(const CsvLogContents &log, LogQuantity quantity);

} // namespace korvel
