#pragma once

#include "ecu/ActuatorTable.h"

#include <QRect>

#include <array>

namespace korvel {

// Where the channel list and the actuator controls sit on the right-hand
// diagnostic panel. Heights that depend on the font come from the window.
struct ActuatorLayoutInput {
    int panelWidth = 0;
    int panelHeight = 0;
    int listTop = 0;
    int checkBoxHeight = 0;
    int comboHeight = 0;
    int rowLabelHeight = 0;
    bool checked = false;
    // Ticking the box leaves 20 pixels above it; resizing the window, 4.
    bool justChecked = false;
};

struct ActuatorLayoutResult {
    QRect list;
    QRect checkBox;
    QRect combo;
    QRect trackBar;
    QRect value;
    std::array<QRect, kActuatorCount> names;
    std::array<QRect, kActuatorCount> indicators;
};

ActuatorLayoutResult actuatorLayout(const ActuatorLayoutInput &in);

} // namespace korvel
