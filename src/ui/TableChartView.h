#pragma once

#include <QChartView>

#include <array>

class QLineSeries;
class QLabel;

namespace korvel {
class TableEditorController;
}

namespace korvel::ui {

// `Chart1`: the lines of the open curve or map. A point of a shown line can
// be dragged up or down (the editor snaps it to the table's step); every
// mouse release ends the gesture, and with Shift alone takes a selection
// corner, whose rectangle is drawn over the chart.
class TableChartView : public QChartView {
    Q_OBJECT
public:
    explicit TableChartView(TableEditorController &editor, QWidget *parent = nullptr);

    // Draws the editor's view again (lines, axes, marks).
    void refresh();
    // The dragged value as the editor holds it, without redrawing the rest.
    void refreshDraggedPoint();
    QLineSeries *line(int number) const; // Series1..Series32, SeriesSecond as 0
    // The chart value under a point of the view.
    QPointF valueAt(const QPoint &pos) const;
    // The point of line `number` at `index` in view coordinates.
    QPoint pointPosition(int number, int index) const;

    // A value mark over a point: every n-th point of a marked line, turned by the mark angle.
    struct PointMark {
        int line = 0;
        int index = 0;
        QPoint at; // the point in view coordinates
        QString text;
        int angle = 0; // degrees, counter-clockwise
    };
    QList<PointMark> pointMarks() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeTrackLabel();
    void drawMarks(QPainter *painter) const;

    TableEditorController &m_editor;
    std::array<QLineSeries *, 33> m_lines{}; // 0 = SeriesSecond
    QLabel *m_trackLabel = nullptr;
    int m_dragLine = 0; // 0: no drag
    int m_dragIndex = -1;
    QFont m_markFont;
    QColor m_markColour;
};

} // namespace korvel::ui
