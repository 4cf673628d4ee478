#pragma once

#include "editor/TableView.h"

#include <QImage>
#include <QWidget>

class Q3DSurface;
class QSurface3DSeries;

namespace korvel::ui {

// `DBChart1`: the 3-D surface of a map, x = column, z = row, height = value,
// coloured from green (low) through yellow to red (high). The GL scene is
// built the first time the surface shows or renders.
class TableSurface : public QWidget {
    Q_OBJECT
public:
    explicit TableSurface(QWidget *parent = nullptr);

    void show3D(const TableView &view);
    // The surface as drawn off screen (window grabs do not see GL windows everywhere).
    QImage render(const QSize &size);
    Q3DSurface *graph();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildGraph();
    void applyView();

    TableView m_view;
    bool m_viewPending = false;

    Q3DSurface *m_graph = nullptr;
    QSurface3DSeries *m_series = nullptr;
};

} // namespace korvel::ui
