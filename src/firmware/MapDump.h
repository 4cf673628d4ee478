#pragma once

#include "firmware/CalibrationMap.h"

#include <QString>

namespace korvel {

// The map as text: the root line, then one line per node indented two spaces
// per tree depth ("NAME (kind K, at REFERENCE)"), and under each table its
// description, one field per line with the keywords of buildCalibrationMap.
// Addresses are at least four hex digits, doubles in their shortest exact
// decimal form, texts in quotes. A walk that stopped early ends with
// "stopped: REASON".
QString dumpCalibrationMap(const CalibrationMap &map, const QString &rootText = QStringLiteral("map"));

} // namespace korvel
