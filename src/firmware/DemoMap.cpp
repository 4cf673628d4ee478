#include "firmware/DemoMap.h"

#include "firmware/DemoMapText.h"
#include "firmware/MapBuilder.h"

namespace korvel {

QString demoMapDescription() {
    return QString::fromUtf8(demomap::kDescriptionUtf8);
}

Outcome<QByteArray> makeDemoMap() {
    return buildCalibrationMap(demoMapDescription());
}

} // namespace korvel
