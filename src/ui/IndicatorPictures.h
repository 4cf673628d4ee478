#pragma once

#include <QPixmap>

namespace korvel::ui {

// The two pictures of an actuator's indicator, drawn by us: the ECU in
// control (a green dot) and the value imposed by the tester (an amber dot
// with a bar). `side` in pixels.
QPixmap actuatorNormalPicture(int side);
QPixmap actuatorOverriddenPicture(int side);

} // namespace korvel::ui
