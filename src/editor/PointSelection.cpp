#include "editor/PointSelection.h"

#include "core/Numbers.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvel {
namespace {

QString firstText(long n) {
    return QStringLiteral("Точка1=%1").arg(n);
}

} // namespace

void PointSelection::firstCorner(double x, double y, int px, int py, long labelNumber) {
    m_x1 = x;
    m_y1 = y;
    m_px1 = px;
    m_py1 = py;
    m_label = firstText(labelNumber);
    m_pending = true;
    m_active = false;
}

void PointSelection::secondCorner(double x, double y, int px, int py) {
    m_x2 = x;
    m_y2 = y;
    m_px2 = px;
    m_py2 = py;
    if (m_px2 < m_px1) {
        std::swap(m_px1, m_px2);
        std::swap(m_x1, m_x2);
        m_label = firstText(truncated(m_x1) + 1);
    }
    if (m_py2 < m_py1) {
        std::swap(m_py1, m_py2);
        std::swap(m_y1, m_y2);
        m_label = firstText(truncated(m_x1) + 1);
    }
    m_label += QStringLiteral("/Точка2=%1// выбрано =%2").arg(truncated(m_x2)).arg(truncated(m_x2) - truncated(m_x1));
    m_active = true;
}

void PointSelection::chartRelease(bool shiftOnly, double x, double y, int px, int py) {
    m_source = Source::Chart;
    if (!shiftOnly)
        return;
    if (!m_pending) {
        firstCorner(x, y, px, py, truncated(x) + 1);
        return;
    }
    secondCorner(x, y, px, py);
    m_pending = false;
}

void PointSelection::gridRelease(bool shiftOnly, int left, int top, int right, int bottom, int px, int py) {
    // A corner taken on the chart is an axis value, not a cell.
    const bool gridCorner = m_source == Source::Grid && (m_pending || m_active);
    m_source = Source::Grid;
    if (!shiftOnly) {
        firstCorner(left, top, px, py, left + 1);
        m_anchorColumn = left;
        m_anchorRow = top;
        return;
    }
    // The block spans the first corner's cell and the block of this release,
    // whichever way the mouse went: a Shift-click up and to the left selects
    // the cells from the click down to the first corner. The corners are
    // ordered by cell, since the selected block of a grid reports its own
    // bounds and not the corner the mouse ended on.
    const int firstColumn = gridCorner ? m_anchorColumn : left;
    const int firstRow = gridCorner ? m_anchorRow : top;
    if (!gridCorner) {
        m_px1 = px;
        m_py1 = py;
    }
    m_x1 = std::min({firstColumn, left, right});
    m_y1 = std::min({firstRow, top, bottom});
    m_x2 = std::max({firstColumn, left, right});
    m_y2 = std::max({firstRow, top, bottom});
    const int firstPx = m_px1;
    const int firstPy = m_py1;
    m_px1 = std::min(firstPx, px);
    m_py1 = std::min(firstPy, py);
    m_px2 = std::max(firstPx, px);
    m_py2 = std::max(firstPy, py);
    m_label = firstText(truncated(m_x1) + 1) +
              QStringLiteral("/Точка2=%1// выбрано =%2").arg(truncated(m_x2)).arg(truncated(m_x2) - truncated(m_x1));
    m_active = true;
    m_pending = !m_pending;
}

void PointSelection::reset() {
    m_pending = false;
    m_active = false;
}

} // namespace korvel
