#pragma once

#include "firmware/HexModel.h"

#include <QSplitter>

class QLineEdit;
class QPushButton;
class QTableView;

namespace korvel {
class FirmwareStore;
}

namespace korvel::ui {

// The hex view page ("toys"): the grid StringGridhex on a snapshot of the
// firmware image, and the side panel "toysset" with the search field, "Поиск"
// and "Дальше". The grid stays hidden until a firmware was there to show.
class TTHEXeditor : public QSplitter {
    Q_OBJECT
public:
    explicit TTHEXeditor(QWidget *parent = nullptr);

    // The toolbar button: a new snapshot when a firmware is loaded.
    void open(const FirmwareStore &firmware);
    // "Поиск" and "Дальше".
    void findhex();
    void findnext();

    HexModel &model() { return m_model; }
    QTableView *grid() const { return m_grid; }

private:
    void select(const HexCell &cell);

    HexModel m_model;
    QTableView *m_grid = nullptr;
    QLineEdit *m_pattern = nullptr;
    QPushButton *m_next = nullptr;
};

} // namespace korvel::ui
