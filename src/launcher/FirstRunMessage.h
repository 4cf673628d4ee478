#pragma once

#include <QString>

namespace korvel::launcher {

// What the user reads when the launcher has just made the working folder:
// where it is, how to keep several cars, and how to reach the adapter.
QString firstRunMessage(const QString &folder);

} // namespace korvel::launcher
