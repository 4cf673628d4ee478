#include "ui/TableSurface.h"

#include "core/ControlNames.h"
#include "editor/CellText.h"
#include "editor/TableView.h"

#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>
#include <QtDataVisualization/QValue3DAxisFormatter>

#include <QLinearGradient>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

constexpr int kSurfaceLabelPoints = 60;
constexpr float kSurfaceZoomPercent = 72; // larger, and the floor labels still show whole

// Axis labels that are the table's headers: breakpoint i sits at value i (from 1).
class HeaderFormatter : public QValue3DAxisFormatter {
public:
    void setHeaders(const QStringList &headers) {
        m_headers = headers;
        markDirty(true);
    }

protected:
    QValue3DAxisFormatter *createNewInstance() const override { return new HeaderFormatter; }
    void populateCopy(QValue3DAxisFormatter &copy) const override {
        QValue3DAxisFormatter::populateCopy(copy);
        static_cast<HeaderFormatter &>(copy).m_headers = m_headers;
    }
    void recalculate() override {
        gridPositions().clear();
        labelPositions().clear();
        labelStrings().clear();
        const qsizetype n = m_headers.size();
        if (n < 2)
            return;
        // About a dozen labels fit along an axis.
        const qsizetype every = std::max<qsizetype>(1, (n + 11) / 12);
        for (qsizetype i = 0; i < n; i += every) {
            const float at = static_cast<float>(i) / static_cast<float>(n - 1);
            gridPositions() << at;
            labelPositions() << at;
            labelStrings() << m_headers[i];
        }
    }

private:
    QStringList m_headers;
};

void setHeaders(QValue3DAxis *axis, const QStringList &headers) {
    auto *formatter = dynamic_cast<HeaderFormatter *>(axis->formatter());
    if (!formatter) {
        formatter = new HeaderFormatter;
        axis->setFormatter(formatter);
    }
    formatter->setHeaders(headers);
    axis->setRange(1, std::max<float>(2, static_cast<float>(headers.size())));
}

} // namespace

TableSurface::TableSurface(QWidget *parent) : QWidget(parent) {
    setObjectName(control::DBChart1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

Q3DSurface *TableSurface::graph() {
    if (!m_graph)
        buildGraph();
    return m_graph;
}

// The OpenGL scene is built on first use: a window that never shows a map in
// 3-D never starts the GL driver.
void TableSurface::buildGraph() {
    m_graph = new Q3DSurface;
    m_series = new QSurface3DSeries;
    m_series->setDrawMode(QSurface3DSeries::DrawSurfaceAndWireframe);
    m_series->setFlatShadingEnabled(false);
    QLinearGradient heat(0, 0, 1, 100);
    heat.setColorAt(0.0, Qt::green);
    heat.setColorAt(0.5, Qt::yellow);
    heat.setColorAt(1.0, Qt::red);
    m_series->setBaseGradient(heat);
    m_series->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
    m_graph->addSeries(m_series);
    m_graph->activeTheme()->setType(Q3DTheme::ThemeQt);
    m_graph->axisX()->setTitleVisible(true);
    m_graph->axisY()->setTitleVisible(true);
    m_graph->axisZ()->setTitleVisible(true);
    m_graph->axisY()->setLabelFormat(QStringLiteral("%.0f"));
    // Labels readable at 1366 x 720: the scene scales them with this size.
    QFont labels = m_graph->activeTheme()->font();
    labels.setPointSize(kSurfaceLabelPoints);
    m_graph->activeTheme()->setFont(labels);
    m_graph->activeTheme()->setLabelBorderEnabled(false);
    // Seen from the left at 30 degrees: the floor stays low enough for its
    // axis labels to show whole, and the value axis reads upright.
    m_graph->scene()->activeCamera()->setCameraPosition(-45, 30, kSurfaceZoomPercent);
    layout()->addWidget(QWidget::createWindowContainer(m_graph, this));
}

void TableSurface::show3D(const TableView &view) {
    m_view = view;
    m_viewPending = true;
    if (isVisible())
        applyView();
}

void TableSurface::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    applyView();
}

void TableSurface::applyView() {
    graph();
    if (!m_viewPending)
        return;
    m_viewPending = false;
    const TableView &view = m_view;
    auto *rows = new QSurfaceDataArray;
    rows->reserve(static_cast<qsizetype>(view.cells.size()));
    for (std::size_t j = 0; j < view.cells.size(); ++j) {
        auto *row = new QSurfaceDataRow;
        for (std::size_t i = 0; i < view.cells[j].size(); ++i)
            row->append(QSurfaceDataItem(QVector3D(static_cast<float>(i + 1),
                                                   static_cast<float>(StrToFloat(view.cells[j][i]).valueOr(0)),
                                                   static_cast<float>(j + 1))));
        rows->append(row);
    }
    m_series->dataProxy()->resetArray(rows);
    m_graph->setTitle(view.title);
    m_graph->axisX()->setTitle(view.xTitle);
    m_graph->axisY()->setTitle(view.valueTitle);
    m_graph->axisZ()->setTitle(view.depthTitle);
    setHeaders(m_graph->axisX(), view.columnHeaders);
    setHeaders(m_graph->axisZ(), view.rowHeaders);
}

QImage TableSurface::render(const QSize &size) {
    applyView();
    return m_graph->renderToImage(0, size);
}

} // namespace korvel::ui
