#pragma once

#include "editor/TableEdits.h"
#include "editor/TableView.h"
#include "tuning/GridView.h"

#include <QtGlobal>

#include <optional>
#include <vector>

namespace korvel {

// The engine's operating point on the open map: the cell it runs in, when
// the map's columns are engine speed and its rows a load the tuner knows
// (throttle, manifold pressure or cyclic air), nearest breakpoint on each
// axis. Nothing for a curve or any other pair of axes.
std::optional<CellPos> operatingCell(const TableView &view, const GridPosition &position);

// The cells the operating point went through in the last few seconds: the
// current cell at full strength, the ones it left fading to nothing.
class WorkingPointTrail {
public:
    static constexpr qint64 kTrailMs = 3000;
    // A cell just left starts below the current one, so the current stands out.
    static constexpr double kTrailStart = 0.6;

    struct Mark {
        CellPos cell;
        double strength = 0; // 1 for the current cell; a cell left fades from kTrailStart to 0
        friend bool operator==(const Mark &, const Mark &) = default;
    };

    // The operating point is in `cell` now (nothing: on no cell of the map).
    void visit(const std::optional<CellPos> &cell, qint64 nowMs);
    void clear() { m_visits.clear(); }
    // Newest first; a cell appears once, with its latest visit.
    std::vector<Mark> marks(qint64 nowMs) const;

private:
    struct Visit {
        CellPos cell;
        qint64 leftMs = 0; // when it stopped being current
        bool current = false;
    };
    std::vector<Visit> m_visits; // newest first
};

} // namespace korvel
