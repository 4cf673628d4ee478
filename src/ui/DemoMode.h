#pragma once

#include <QString>

namespace korvel {
class Session;
}

namespace korvel::ui {

// The demo opens the simulated ECU's own firmware once each connection is set
// up, as a user would with "Открыть прошивку": its tables go into the ECU's
// RAM and "Автоматическая настройка таблиц" is offered right away.
void openFirmwareWhenConnected(Session &session, const QString &firmwarePath);

} // namespace korvel::ui
