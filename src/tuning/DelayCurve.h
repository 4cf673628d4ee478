#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvel {

// The wideband's transport delay over engine speed: the exhaust takes longer
// to carry the mixture to the sensor at idle than near the red line. Points
// are (rpm, ms), rising in rpm; between them the delay is interpolated in a
// straight line, outside them it keeps the end value.
class DelayCurve {
public:
    struct Point {
        double rpm = 0;
        double ms = 0;
    };

    DelayCurve() = default;
    explicit DelayCurve(std::vector<Point> points);

    // About 200 ms at idle down to 50 ms near the red line.
    static DelayCurve standard();
    // "800:200 2000:140 4000:90 6000:50": pairs rpm:ms separated by spaces or
    // semicolons, a decimal point or comma either way, rpm rising. Nothing for
    // an empty text, a malformed pair, a negative delay or rpm not rising.
    static std::optional<DelayCurve> parse(const QString &text);
    // The curve as parse() reads it, delays rounded to whole milliseconds.
    QString text() const;

    double delayMs(double rpm) const;
    const std::vector<Point> &points() const { return m_points; }

private:
    std::vector<Point> m_points;
};

} // namespace korvel
