#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

// Why a tick gave tuning no sample. The extended tuning counts every refusal
// by its reason, for the cell the engine was in and over the whole run.
enum class SampleRefusal : std::uint8_t {
    None,
    WidebandWarmUp,     // no reading since the controller started: its heater warms up
    WidebandError,      // the controller reports a sensor fault (a zero value)
    WidebandOutOfRange, // the reading is railed, outside what a sensor can measure
    WidebandQuiet,      // no new reading within 3 of the controller's periods
    ColdEngine,         // coolant below the minimum
    FuelCut,            // fuel cut, or within its hold-off after it ended
    PowerEnrichment,    // power enrichment, or within its hold-off
    ThrottleRate,       // the throttle moves faster than the limit
    RpmLimit,           // engine speed outside the limits
    LoadLimit,          // load outside the limits
    CellEdge,           // too far from the middle of the cell
    Transition,         // the frame the reading belongs to lay in another cell ("переход")
    Locked,             // the cell is locked
    Count
};

inline constexpr std::size_t kRefusalReasons = static_cast<std::size_t>(SampleRefusal::Count);

// The reason as the grid page, the CLI and the monitor name it.
QString refusalName(SampleRefusal reason);

// Refused ticks per reason, overall and per cell (cell index row × 16 + column).
class RefusalCounts {
public:
    static constexpr int kCells = 256;
    using PerReason = std::array<int, kRefusalReasons>;

    // A refusal in `cell` (-1: outside every cell; it counts overall only).
    void count(SampleRefusal reason, int cell);
    void clear();

    const PerReason &overall() const { return m_overall; }
    // An empty count for a cell outside the grid.
    PerReason ofCell(int cell) const;
    int total() const;
    static int totalOf(const PerReason &counts);
    // "причина: n, причина: n" over the reasons that occurred, most frequent first; "нет" for none.
    static QString summary(const PerReason &counts);

private:
    PerReason m_overall{};
    std::array<PerReason, kCells> m_cells{};
};

} // namespace korvel
