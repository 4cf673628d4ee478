#pragma once

#include "firmware/Outcome.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// The calibration map of the demo firmware: curves and maps of byte and
// 16-bit cells, single values, the complectation flags and the banner text,
// built from the checked-in line description (data/demo-map.txt).
inline const QString kDemoMapFile = QStringLiteral("demo-map.j5");

// The description the map is built from.
QString demoMapDescription();
// The map file's bytes; refused only when the description is broken.
Outcome<QByteArray> makeDemoMap();

} // namespace korvel
