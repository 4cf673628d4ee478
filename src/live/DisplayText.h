#pragma once

#include <QString>

namespace korvel {

// A number without a given format, as the window shows it: up to 15
// significant digits with '.' ("12.741" for 137 × 0.093, "3000", "-5"), so
// that the binary noise of a scaled byte never reaches the screen.
QString generalText(double value);

} // namespace korvel
