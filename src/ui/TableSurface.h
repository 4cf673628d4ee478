#pragma once

#include <QImage>
#include <QWidget>

class Q3DSurface;
class QSurface3DSeries;

namespace korvel {
struct TableView;
}

namespace korvel::ui {

// `DBChart1`: the 3-D surface of a map, x = column, z = row, height = value,
// coloured from green (low) through yellow to red (high).
class TableSurface : public QWidget {
    Q_OBJECT
public:
    explicit TableSurface(QWidget *parent = nullptr);

    void show3D(const TableView &view);
    // The surface as drawn off screen (window grabs do not see GL windows everywhere).
    QImage render(const QSize &size);
    Q3DSurface *graph() const { return m_graph; }

private:
    Q3DSurface *m_graph = nullptr;
    QSurface3DSeries *m_series = nullptr;
};

} // namespace korvel::ui
