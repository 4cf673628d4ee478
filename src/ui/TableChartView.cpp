#include "ui/TableChartView.h"
#include "ui/NamedWidgets.h"

#include "core/ControlNames.h"
#include "editor/CellText.h"
#include "editor/TableEditorController.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>

#include <cmath>

namespace korvel::ui {
namespace {

constexpr int kGrabDistance = 10; // pixels around a point that start a drag
// Readable on a 1366 x 768 laptop at arm's length in the car.
constexpr int kAxisLabelPoints = 10;
constexpr int kAxisTitlePoints = 11;
constexpr int kChartTitlePoints = 12;

QFont chartFont(const QFont &base, int points, bool bold) {
    QFont f = base;
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

// Category labels must differ; equal headers get invisible suffixes.
QString uniqueLabel(const QString &text, QStringList &used) {
    QString label = text.isEmpty() ? QStringLiteral(" ") : text;
    while (used.contains(label))
        label += QChar(0x200B);
    used << label;
    return label;
}

} // namespace

TableChartView::TableChartView(TableEditorController &editor, QWidget *parent) : QChartView(parent), m_editor(editor) {
    setObjectName(control::Chart1);
    setRenderHint(QPainter::Antialiasing);
    chart()->legend()->hide();
    for (std::size_t s = 0; s < m_lines.size(); ++s) {
        auto *line = new QLineSeries(chart());
        line->setObjectName(s == 0 ? QStringLiteral("SeriesSecond") : QStringLiteral("Series%1").arg(s));
        chart()->addSeries(line);
        m_lines[s] = line;
    }
    auto *x = new QCategoryAxis(chart());
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    auto *y = new QValueAxis(chart());
    for (QAbstractAxis *axis : {static_cast<QAbstractAxis *>(x), static_cast<QAbstractAxis *>(y)}) {
        axis->setLabelsFont(chartFont(font(), kAxisLabelPoints, false));
        axis->setTitleFont(chartFont(font(), kAxisTitlePoints, true));
    }
    chart()->setTitleFont(chartFont(font(), kChartTitlePoints, true));
    chart()->setMargins(QMargins(4, 4, 4, 4));
    chart()->addAxis(x, Qt::AlignBottom);
    chart()->addAxis(y, Qt::AlignLeft);
    for (QLineSeries *line : m_lines) {
        line->attachAxis(x);
        line->attachAxis(y);
    }
    m_trackLabel = new QLabel(this);
    m_trackLabel->setObjectName(control::Labeltrack);
    m_trackLabel->hide();
}

QLineSeries *TableChartView::line(int number) const {
    return number >= 0 && number < static_cast<int>(m_lines.size()) ? m_lines[static_cast<std::size_t>(number)]
                                                                    : nullptr;
}

void TableChartView::refresh() {
    const TableView &view = m_editor.view();
    const DisplayOptions &options = m_editor.options();
    chart()->setTitle(view.title);
    auto *x = qobject_cast<QCategoryAxis *>(chart()->axes(Qt::Horizontal).value(0));
    auto *y = qobject_cast<QValueAxis *>(chart()->axes(Qt::Vertical).value(0));
    for (const QString &label : x->categoriesLabels())
        x->remove(label);
    QStringList used;
    const int n = view.table.columns;
    // Only some labels fit: at most about 16 along the axis.
    const int every = std::max(1, (n + 15) / 16);
    for (int c = 0; c < n; c += every)
        x->append(uniqueLabel(view.columnHeaders.value(c), used), c);
    x->setRange(-0.5, std::max(0, n - 1) + 0.5);
    x->setTitleText(view.xTitle);
    y->setRange(view.valueMinimum, view.valueMaximum == view.valueMinimum ? view.valueMinimum + 1 : view.valueMaximum);
    y->setTitleText(view.valueTitle);

    QFont markFont = font();
    markFont.setPointSize(options.markFontSize);
    for (int s = 0; s <= kLineSeries; ++s) {
        const ChartSeries &data = s == 0 ? view.second : view.series[static_cast<std::size_t>(s - 1)];
        QLineSeries *series = m_lines[static_cast<std::size_t>(s)];
        QList<QPointF> points;
        for (std::size_t c = 0; c < data.values.size(); ++c)
            points << QPointF(static_cast<double>(c), data.values[c]);
        series->replace(points);
        series->setVisible(data.visible);
        QPen pen(colourOf(data.colour));
        pen.setWidth(2);
        series->setPen(pen);
        series->setPointsVisible(data.pointSymbols && data.visible && s != 0);
        // The marks are drawn over the chart (drawMarks): the series' own
        // labels can neither be turned nor skip points.
        series->setPointLabelsVisible(false);
    }
    m_markFont = markFont;
    m_markColour = colourOf(options.markColour);
    m_trackLabel->setText(view.trackLabel);
    m_trackLabel->setVisible(!view.trackLabel.isEmpty());
    m_trackLabel->adjustSize();
    placeTrackLabel();
    viewport()->update();
}

void TableChartView::refreshDraggedPoint() {
    if (m_dragLine <= 0)
        return;
    const auto &values = m_editor.view().series[static_cast<std::size_t>(m_dragLine - 1)].values;
    if (m_dragIndex >= 0 && static_cast<std::size_t>(m_dragIndex) < values.size())
        m_lines[static_cast<std::size_t>(m_dragLine)]->replace(
            m_dragIndex, QPointF(m_dragIndex, values[static_cast<std::size_t>(m_dragIndex)]));
}

QPointF TableChartView::valueAt(const QPoint &pos) const {
    return chart()->mapToValue(mapToScene(pos), m_lines[1]);
}

QPoint TableChartView::pointPosition(int number, int index) const {
    const QLineSeries *series = line(number);
    if (!series || index < 0 || index >= series->count())
        return {};
    return mapFromScene(chart()->mapToPosition(series->at(index), m_lines[1]));
}

QList<TableChartView::PointMark> TableChartView::pointMarks() const {
    QList<PointMark> marks;
    const TableView &view = m_editor.view();
    const int every = std::max(1, m_editor.options().markEvery);
    for (int s = 1; s <= kLineSeries; ++s) {
        const ChartSeries &data = view.series[static_cast<std::size_t>(s - 1)];
        if (!data.visible || !data.marks)
            continue;
        const QLineSeries *series = m_lines[static_cast<std::size_t>(s)];
        for (int i = 0; i < series->count(); i += every)
            marks << PointMark{s, i, pointPosition(s, i), FloatToStr(series->at(i).y()), view.markAngle};
    }
    return marks;
}

void TableChartView::drawMarks(QPainter *painter) const {
    const QList<PointMark> marks = pointMarks();
    if (marks.isEmpty())
        return;
    painter->save();
    painter->setFont(m_markFont);
    painter->setPen(m_markColour);
    const QFontMetrics metrics(m_markFont);
    for (const PointMark &mark : marks) {
        // Level marks sit centred over the point; turned ones rise from it.
        const int width = metrics.horizontalAdvance(mark.text);
        const double lead = -width / 2.0 * (1.0 - std::min(std::abs(mark.angle), 90) / 90.0);
        painter->save();
        painter->translate(mapToScene(mark.at) + QPointF(0, -6));
        painter->rotate(-mark.angle);
        painter->drawText(QPointF(lead, 0), mark.text);
        painter->restore();
    }
    painter->restore();
}

void TableChartView::mousePressEvent(QMouseEvent *event) {
    m_dragLine = 0;
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        int best = kGrabDistance * kGrabDistance + 1;
        for (int s = 1; s <= 16; ++s) {
            const QLineSeries *series = m_lines[static_cast<std::size_t>(s)];
            if (!series->isVisible())
                continue;
            for (int i = 0; i < series->count(); ++i) {
                const QPoint d = pointPosition(s, i) - event->position().toPoint();
                const int distance = d.x() * d.x() + d.y() * d.y();
                if (distance < best) {
                    best = distance;
                    m_dragLine = s;
                    m_dragIndex = i;
                }
            }
        }
    }
    QChartView::mousePressEvent(event);
}

void TableChartView::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragLine > 0 && (event->buttons() & Qt::LeftButton)) {
        m_editor.dragPoint(m_dragLine, m_dragIndex, valueAt(event->position().toPoint()).y());
        refreshDraggedPoint();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TableChartView::mouseReleaseEvent(QMouseEvent *event) {
    m_dragLine = 0;
    const QPoint p = event->position().toPoint();
    const QPointF value = valueAt(p);
    // Shift alone: no other key and no button still held.
    const bool shiftOnly = event->modifiers() == Qt::ShiftModifier && event->buttons() == Qt::NoButton;
    m_editor.chartReleased(shiftOnly, value.x(), value.y(), p.x(), p.y());
    QChartView::mouseReleaseEvent(event);
}

void TableChartView::drawForeground(QPainter *painter, const QRectF &rect) {
    QChartView::drawForeground(painter, rect);
    drawMarks(painter);
    const PointSelection &s = m_editor.selection();
    if (s.pending() || !s.active() || s.source() != PointSelection::Source::Chart)
        return;
    painter->save();
    painter->setPen(QPen(Qt::black, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(mapToScene(QPoint(s.px1(), s.py1())), mapToScene(QPoint(s.px2(), s.py2()))));
    painter->restore();
}

void TableChartView::resizeEvent(QResizeEvent *event) {
    QChartView::resizeEvent(event);
    placeTrackLabel();
}

void TableChartView::placeTrackLabel() {
    // Bottom right of the chart, as the row caption of the flat arrangement.
    m_trackLabel->move(width() - m_trackLabel->width() - 4, height() - m_trackLabel->height());
    m_trackLabel->raise();
}

} // namespace korvel::ui
