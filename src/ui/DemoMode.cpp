#include "ui/DemoMode.h"

#include "app/Session.h"

namespace korvel::ui {

void openFirmwareWhenConnected(Session &session, const QString &firmwarePath) {
    QObject::connect(&session, &Session::connectionSetUp, &session,
                     [&session, firmwarePath] { session.openFirmware(firmwarePath); });
}

} // namespace korvel::ui
