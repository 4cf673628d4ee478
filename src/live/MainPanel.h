#pragma once

#include "live/LiveParameters.h"

#include <QString>

#include <span>

namespace korvel {

class ControlBoard;

// Fills the main panels from the decoded values: the labels in both protocols,
// the edit fields of the second panel in the fast protocol only. Every field is
// computed from the values and flags, never read back from another control.
void showMainPanel(ControlBoard &board, const LiveParameters &p, Protocol protocol, bool narrowbandSensor);

// The on-board supply colour from the volts as shown: at least 13 green,
// below 13 olive, below 12.5 red.
int batteryColor(double volts);
int coolantColor(double coolantTemp); // above 102 red
int afrColor(double afrEcu);          // below 12.4 or above 15 red

// How the window lays out a control the live data fills.
enum class ControlKind { Label, Gauge, Progress, Button, Panel, Picture };

struct PanelControl {
    const char *name;
    const char *panel; // "PanelMain" (labels) or "PanelMain2" (edit fields)
    ControlKind kind;
    const char *caption; // UTF-8; the caption beside the value, or the hint of a button
    double minimum = 0;  // range of a gauge or progress bar
    double maximum = 0;
    const char *captionName = nullptr; // a caption the core shows and hides by name
};
std::span<const PanelControl> mainPanelControls();

} // namespace korvel
