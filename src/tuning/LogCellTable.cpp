#include "tuning/LogCellTable.h"

#include "live/FrameLayout.h"
#include "tuning/WorkingPoint.h"

#include <cmath>

namespace korvel {
namespace {

// Where each quantity lies in a log line, per protocol.
struct QuantityChannels {
    int wideband, ecuRatio, coefficient, ignition, rpm, throttle, pressure;
};
// Fast: the ECU's ratio has channel 3. Standard: it has none, and the
// injection coefficient (channel 8) is the wideband over it.
constexpr QuantityChannels kFastQuantityChannels{4, 3, 0, 15, 8, 7, 5};
constexpr QuantityChannels kStandardQuantityChannels{2, 0, 8, 9, 4, 3, 0};
constexpr int kLoggedPointChannel = 1;
constexpr int kPressureTenths = 10;

const std::array<LogQuantityName, 4> kLogQuantityNames{{
    {LogQuantity::AfrError, "afr-error", "Ошибка AFR, %"},
    {LogQuantity::Afr, "afr", "AFR"},
    {LogQuantity::Ignition, "ignition", "УОЗ"},
    {LogQuantity::Knock, "knock", "Детонация"},
}};

// The frame's value of the quantity; nothing when the frame does not carry it.
std::optional<double> quantityValue(const CsvLogContents &log, const LiveChannels &c, LogQuantity quantity) {
    const QuantityChannels &at = log.protocol == Protocol::Fast ? kFastQuantityChannels : kStandardQuantityChannels;
    const double wideband = c.value(at.wideband);
    switch (quantity) {
    case LogQuantity::AfrError: {
        if (wideband <= 0)
            return std::nullopt;
        const double ratio = at.ecuRatio > 0 ? (c.value(at.ecuRatio) > 0 ? wideband / c.value(at.ecuRatio) : 0)
                                             : c.value(at.coefficient);
        if (ratio <= 0)
            return std::nullopt;
        return 100 * (ratio - 1);
    }
    case LogQuantity::Afr:
        return wideband > 0 ? std::optional<double>(wideband) : std::nullopt;
    case LogQuantity::Ignition:
        return c.value(at.ignition);
    case LogQuantity::Knock:
        return c.value(flagChannel(log.protocol, kKnockFlag)) != 0 ? 1.0 : 0.0;
    }
    return std::nullopt;
}

bool engineRuns(const CsvLogContents &log, const LiveChannels &c) {
    const QuantityChannels &at = log.protocol == Protocol::Fast ? kFastQuantityChannels : kStandardQuantityChannels;
    return c.value(at.rpm) > 0;
}

void addToCell(LogCellTable &table, int cell, double value) {
    LogCell &into = table.cells[static_cast<std::size_t>(cell)];
    ++into.count;
    into.value += value;
    ++table.placedFrames;
}

void finishTable(LogCellTable &table) {
    if (table.quantity == LogQuantity::Knock)
        return; // the sum is the count of knocking frames
    for (LogCell &cell : table.cells)
        if (cell.count > 0)
            cell.value /= cell.count;
}

} // namespace

const std::array<LogQuantityName, 4> &logQuantityNames() {
    return kLogQuantityNames;
}

std::optional<LogQuantity> logQuantityOf(const QString &cliName) {
    for (const LogQuantityName &name : kLogQuantityNames)
        if (cliName == QLatin1String(name.cliName))
            return name.quantity;
    return std::nullopt;
}

LogCellTable logCellTable(const CsvLogContents &log, const GridAxes &axes, bool byPressure, LogQuantity quantity) {
    const QuantityChannels &at = log.protocol == Protocol::Fast ? kFastQuantityChannels : kStandardQuantityChannels;
    LogCellTable table;
    table.quantity = quantity;
    WorkingPointModel model;
    for (const LoggedFrame &frame : log.frames) {
        const LiveChannels &c = frame.channels;
        const std::optional<double> value = quantityValue(log, c, quantity);
        if (!value || !engineRuns(log, c))
            continue;
        const double pressure = at.pressure > 0 ? c.value(at.pressure) * kPressureTenths : 0;
        const WorkingPoint point =
            model.compute(axes, {c.value(at.rpm), c.value(at.throttle), pressure}, byPressure && at.pressure > 0);
        addToCell(table, point.index(), *value);
    }
    finishTable(table);
    return table;
}

std::optional<LogCellTable> logCellTableByLoggedPoint(const CsvLogContents &log, LogQuantity quantity) {
    if (log.protocol != Protocol::Fast)
        return std::nullopt;
    LogCellTable table;
    table.quantity = quantity;
    for (const LoggedFrame &frame : log.frames) {
        const std::optional<double> value = quantityValue(log, frame.channels, quantity);
        const double point = frame.channels.value(kLoggedPointChannel);
        if (!value || !engineRuns(log, frame.channels) || point < 0 || point > 255 || point != std::floor(point))
            continue;
        addToCell(table, static_cast<int>(point), *value);
    }
    finishTable(table);
    return table;
}

} // namespace korvel
