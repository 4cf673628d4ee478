#pragma once

#include <QString>

namespace korvel {

// Round to the nearest integer, halves to even, as everywhere in the program.
double roundHalfEven(double value);
// Round to `decimals` places the program's way: x * 10^d, Round, / 10^d.
double roundTo(double value, int decimals);
// The shortest text that reads back to the same double, '.' as decimal point
// ("14.7", "3", "-0.125"); no exponent for the magnitudes the program shows.
QString shortestDecimal(double value);
// Fixed decimals with '.' ("0.00" style formats).
QString fixedDecimal(double value, int decimals);
// Towards zero, as the editor turns chart positions into grid indices: values
// beyond ±1e9 stop there and what is not finite gives 0.
long truncated(double value);

} // namespace korvel
