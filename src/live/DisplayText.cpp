#include "live/DisplayText.h"

namespace korvel {

QString generalText(double value) {
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0.0
    return QString::number(value, 'g', 15);
}

} // namespace korvel
