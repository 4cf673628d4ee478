#include "tuning/DelayCurve.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace korvel {
namespace {

const DelayCurve::Point kStandardDelay[] = {{800, 200}, {2000, 140}, {4000, 90}, {6000, 50}};

std::optional<double> delayCurveNumber(QString text) {
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

DelayCurve::DelayCurve(std::vector<Point> points) : m_points(std::move(points)) {}

DelayCurve DelayCurve::standard() {
    return DelayCurve({std::begin(kStandardDelay), std::end(kStandardDelay)});
}

std::optional<DelayCurve> DelayCurve::parse(const QString &text) {
    static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
    const QStringList pairs = text.split(separators, Qt::SkipEmptyParts);
    if (pairs.isEmpty())
        return std::nullopt;
    std::vector<Point> points;
    for (const QString &pair : pairs) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        if (parts.size() != 2)
            return std::nullopt;
        const std::optional<double> rpm = delayCurveNumber(parts[0]);
        const std::optional<double> ms = delayCurveNumber(parts[1]);
        if (!rpm || !ms || *ms < 0 || *rpm < 0 || (!points.empty() && *rpm <= points.back().rpm))
            return std::nullopt;
        points.push_back({*rpm, *ms});
    }
    return DelayCurve(std::move(points));
}

QString DelayCurve::text() const {
    QStringList parts;
    for (const Point &p : m_points)
        parts << QStringLiteral("%1:%2").arg(std::round(p.rpm)).arg(std::round(p.ms));
    return parts.join(QLatin1Char(' '));
}

double DelayCurve::delayMs(double rpm) const {
    if (m_points.empty())
        return 0;
    if (rpm <= m_points.front().rpm)
        return m_points.front().ms;
    for (std::size_t i = 1; i < m_points.size(); ++i) {
        const Point &a = m_points[i - 1], &b = m_points[i];
        if (rpm <= b.rpm)
            return a.ms + (b.ms - a.ms) * (rpm - a.rpm) / (b.rpm - a.rpm);
    }
    return m_points.back().ms;
}

} // namespace korvel
