#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QTableView;

namespace korvel {
class Session;
}

namespace korvel::ui {

class TuningRefusalsPanel;

// The tuning grid page (`PanelGrid`): the grid choice, the gradient check box
// and the ignition rework above `StringGrid2`; the corner cell's "ОК" text,
// the value scale labels and the hidden working-point panel `PanelTest`,
// refreshed with the highlight timer.
class TuningGridPage : public QWidget {
    Q_OBJECT
public:
    explicit TuningGridPage(Session &session, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeBar();
    QWidget *makeScale();
    QWidget *makePanelTest();
    void refreshChoices();
    void refreshMarks();
    void refreshPanelTest();
    void placeCorner();

    Session &m_session;
    QComboBox *m_choice = nullptr;
    QTableView *m_grid = nullptr;
    QLabel *m_corner = nullptr;
    QWidget *m_scale = nullptr;
    QLabel *m_max = nullptr;
    QLabel *m_avg = nullptr;
    QLabel *m_min = nullptr;
    QWidget *m_panelTest = nullptr;
    QLabel *m_panelTestText = nullptr;
    TuningRefusalsPanel *m_refusals = nullptr;
};

} // namespace korvel::ui
