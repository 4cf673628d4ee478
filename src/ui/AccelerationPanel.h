#pragma once

#include <QWidget>

namespace korvel {
class Session;
}

namespace korvel::ui {

// Panelrazgon: the two speed limits, the arm button, the speed and result
// labels, the list of finished runs and the run grid, shaded per row.
class AccelerationPanel : public QWidget {
    Q_OBJECT
public:
    explicit AccelerationPanel(Session &session, QWidget *parent = nullptr);
};

} // namespace korvel::ui
