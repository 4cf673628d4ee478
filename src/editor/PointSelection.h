#pragma once

#include <QString>

namespace korvel {

// The range the four range commands act on, taken by two releases of the
// mouse with Shift: on the chart as axis values, on the grid as the selected
// block's columns and rows (data cells from 1).
class PointSelection {
public:
    enum class Source { Chart, Grid };

    // A release over the chart; only Shift alone takes a corner.
    void chartRelease(bool shiftOnly, double x, double y, int px, int py);
    // A release over the grid with the selected block (left, top, right, bottom).
    void gridRelease(bool shiftOnly, int left, int top, int right, int bottom, int px, int py);
    // Another table or the display-mode button ends the selection.
    void reset();

    bool active() const { return m_active; } // the range buttons are shown exactly then
    bool pending() const { return m_pending; }
    Source source() const { return m_source; }
    QString label() const { return m_label; } // LabelChangepoints
    double x1() const { return m_x1; }
    double x2() const { return m_x2; }
    double y1() const { return m_y1; }
    double y2() const { return m_y2; }
    int px1() const { return m_px1; }
    int py1() const { return m_py1; }
    int px2() const { return m_px2; }
    int py2() const { return m_py2; }

private:
    void firstCorner(double x, double y, int px, int py, long labelNumber);
    void secondCorner(double x, double y, int px, int py);

    double m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
    int m_px1 = 0, m_py1 = 0, m_px2 = 0, m_py2 = 0;
    int m_anchorColumn = 0, m_anchorRow = 0; // the cell of the grid's first corner
    bool m_pending = false;
    bool m_active = false;
    Source m_source = Source::Chart;
    QString m_label;
};

} // namespace korvel
