#include "ui/TableSurface.h"

#include "core/ControlNames.h"
#include "editor/CellText.h"
#include "editor/TableView.h"

#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>

#include <QLinearGradient>
#include <QVBoxLayout>

namespace korvel::ui {

TableSurface::TableSurface(QWidget *parent) : QWidget(parent) {
    setObjectName(control::DBChart1);
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
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(QWidget::createWindowContainer(m_graph, this));
}

void TableSurface::show3D(const TableView &view) {
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
}

QImage TableSurface::render(const QSize &size) {
    return m_graph->renderToImage(0, size);
}

} // namespace korvel::ui
