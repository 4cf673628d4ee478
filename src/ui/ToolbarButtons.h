#pragma once

#include <QString>

#include <vector>

namespace korvel::ui {

struct ToolbarButton {
    QString name;  // object name the core drives
    QString hint;  // tool tip
    QString glyph; // drawn on our own icon
    unsigned rgb;  // icon colour
    bool separatorBefore = false;
};

// The toolbar in its order.
const std::vector<ToolbarButton> &toolbarButtons();

} // namespace korvel::ui
