#pragma once

#include "app/StatusBarState.h"

#include <QWidget>

class QProgressBar;

namespace korvel::ui {

// The status bar's seven panels, owner-drawn from the session's state, with
// the progress bar `StatusProgressBar` placed in panel 3.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget *parent = nullptr);
    void show(const StatusBarState &state);
    QProgressBar *progressBar() const { return m_progress; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeProgressBar();

    StatusBarState m_state;
    QProgressBar *m_progress;
};

} // namespace korvel::ui
