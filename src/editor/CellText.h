#pragma once

#include "firmware/Outcome.h"

#include <QString>

namespace korvel {

// Grid cells hold their numbers as text: up to 15 significant digits, '.' as
// the decimal point, no thousands separator. The grid is the edit buffer, so
// what is written here is what a later write-back reads.
QString FloatToStr(double value);
// Reads '.' or ',' as the decimal separator. Refused with the conversion
// error text when the cell holds no number, and with its own text when it
// groups thousands ("1,016.5", "1 016", "1,000,000").
Outcome<double> StrToFloat(const QString &text);

} // namespace korvel
