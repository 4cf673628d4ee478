#pragma once

#include <QGroupBox>

class QLabel;
class QPushButton;
class QTableView;

namespace korvel {
class Session;
}

namespace korvel::ui {

// Beside the tuning grid: whether the extended tuning runs, the ticks it
// refused and why (in the current cell and overall), the locks of the cells
// selected in the grid, and the wideband delay measured from the drive.
class TuningRefusalsPanel : public QGroupBox {
    Q_OBJECT
public:
    TuningRefusalsPanel(Session &session, QTableView &grid, QWidget *parent = nullptr);

    // The counts again; the grid page calls it with every highlight.
    void refresh();

private:
    void lockSelected(bool locked);
    void measureDelay();

    Session &m_session;
    QTableView &m_grid;
    QLabel *m_state = nullptr;
    QLabel *m_cell = nullptr;
    QLabel *m_overall = nullptr;
    QLabel *m_delay = nullptr;
};

} // namespace korvel::ui
