#pragma once

#include <QIcon>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollArea;
class QSlider;
class QToolButton;

namespace korvel {
class ActuatorController;
class ChartsController;
} // namespace korvel

namespace korvel::ui {

// The right-hand diagnostic panel `Paneldia2`: the channel list and, once
// diagnostics have run in the fast protocol, the actuator controls under it.
class DiagnosticSidePanel : public QWidget {
    Q_OBJECT
public:
    // With `charts`, a resize while the chart panels are built follows their
    // rules for the list (without, the list keeps its full height).
    DiagnosticSidePanel(ActuatorController &actuators, const ChartsController *charts = nullptr,
                        QWidget *parent = nullptr);

    QScrollArea *channelList() const { return m_list; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildActuatorControls();
    void showActuatorState();
    void place(bool justChecked);
    void placeOnResize();

    ActuatorController &m_actuators;
    const ChartsController *m_charts = nullptr;
    QScrollArea *m_list = nullptr;
    QCheckBox *m_box = nullptr;
    QComboBox *m_combo = nullptr;
    QSlider *m_trackBar = nullptr;
    QLabel *m_value = nullptr;
    std::array<QLabel *, 8> m_names{};
    std::array<QToolButton *, 8> m_indicators{};
    bool m_shownChecked = false;
    QIcon m_normal;     // the ECU is in control
    QIcon m_overridden; // the tester holds the value
};

} // namespace korvel::ui
