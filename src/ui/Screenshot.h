#pragma once

class QWidget;

namespace korvel {
class Session;
}

namespace korvel::ui {

// The screenshot button: the primary screen from its origin at its full size,
// or the window itself where the platform refuses to grab the screen.
void takeScreenshot(Session &session, QWidget *window);

} // namespace korvel::ui
