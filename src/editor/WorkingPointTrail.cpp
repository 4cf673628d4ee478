#include "editor/WorkingPointTrail.h"

#include "editor/CellText.h"
#include "editor/TableHeaders.h"
#include "firmware/CalibrationMap.h"

#include <algorithm>
#include <cmath>

namespace korvel {
namespace {

// The header (from 1) whose breakpoint lies nearest to v; the lower one on a tie.
int nearestHeader(const QStringList &headers, double v) {
    int best = 0;
    double bestDistance = 0;
    for (qsizetype i = 0; i < headers.size(); ++i) {
        const Outcome<double> h = StrToFloat(headers[i]);
        if (!h)
            continue;
        const double distance = std::abs(h.value() - v);
        if (best == 0 || distance < bestDistance) {
            best = static_cast<int>(i) + 1;
            bestDistance = distance;
        }
    }
    return best;
}

std::optional<double> loadOnAxis(int axis, const GridPosition &position) {
    switch (axis) {
    case sharedaxis::Throttle:
        return position.throttle;
    case sharedaxis::Pressure:
        return position.pressure; // tenths of a kPa, as the breakpoints
    case sharedaxis::CyclicAir:
    case sharedaxis::AirSteps:
        return position.cyclicAir;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<CellPos> operatingCell(const TableView &view, const GridPosition &position) {
    const TableDescriptor &d = view.table.descriptor;
    if (view.table.ref.kind != tablekind::TwoDimensional || d.xAxisCode.isEmpty() || d.yAxisCode.isEmpty())
        return std::nullopt;
    if (sharedAxisOf(d.xAxisCode, tablekind::TwoDimensional, false) != sharedaxis::Speed)
        return std::nullopt;
    const std::optional<double> load = loadOnAxis(sharedAxisOf(d.yAxisCode, tablekind::TwoDimensional, true), position);
    if (!load)
        return std::nullopt;
    const int column = nearestHeader(view.columnHeaders, position.rpm);
    const int row = nearestHeader(view.rowHeaders, *load);
    if (column == 0 || row == 0)
        return std::nullopt;
    return CellPos{column, row};
}

void WorkingPointTrail::visit(const std::optional<CellPos> &cell, qint64 nowMs) {
    if (!m_visits.empty() && m_visits.front().current) {
        if (cell && m_visits.front().cell == *cell)
            return; // still there
        m_visits.front().current = false;
        m_visits.front().leftMs = nowMs;
    }
    if (cell) {
        std::erase_if(m_visits, [&](const Visit &v) { return v.cell == *cell; });
        m_visits.insert(m_visits.begin(), Visit{*cell, nowMs, true});
    }
    std::erase_if(m_visits, [&](const Visit &v) { return !v.current && nowMs - v.leftMs >= kTrailMs; });
}

std::vector<WorkingPointTrail::Mark> WorkingPointTrail::marks(qint64 nowMs) const {
    std::vector<Mark> out;
    for (const Visit &v : m_visits) {
        const double strength =
            v.current ? 1.0
                      : kTrailStart * (1.0 - static_cast<double>(std::max<qint64>(0, nowMs - v.leftMs)) / kTrailMs);
        if (strength > 0)
            out.push_back({v.cell, strength});
    }
    return out;
}

} // namespace korvel
