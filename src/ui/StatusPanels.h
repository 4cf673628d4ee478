#pragma once

#include "app/StatusBarState.h"

#include <QWidget>

#include <array>
#include <vector>

class QProgressBar;

namespace korvel::ui {

// The status bar's seven panels, owner-drawn from the session's state, with
// the progress bar `StatusProgressBar` placed in panel 3. A panel is at least
// as wide as laid down and grows to its text; a text too long even then is
// cut with "…" and shown whole as a tooltip.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget *parent = nullptr);
    void show(const StatusBarState &state);
    QProgressBar *progressBar() const { return m_progress; }
    int panelWidth(int panel) const { return m_widths[static_cast<std::size_t>(panel)]; }
    // The whole text under a point when the panel shows it cut; empty otherwise.
    QString toolTipAt(const QPoint &pos) const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // One text of the bar: its panel, where it starts inside the panel, and
    // the coloured area it sits on (the link and identity areas).
    struct Text {
        int panel = 0;
        QString text;
        int offset = 0;
        const StatusBarState::Area *area = nullptr;
    };
    std::vector<Text> texts() const;
    QRect textRect(const Text &t) const;
    QString shownText(const Text &t) const;
    QFont textFont() const;
    int panelLeft(int panel) const;
    void layOutPanels();
    void placeProgressBar();

    StatusBarState m_state;
    QProgressBar *m_progress;
    std::array<int, 7> m_widths{};
};

} // namespace korvel::ui
