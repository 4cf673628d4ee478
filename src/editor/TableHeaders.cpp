#include "editor/TableHeaders.h"

#include "core/Numbers.h"
#include "editor/CellText.h"

#include <QHash>

namespace korvel {
namespace {

struct CodeAxes {
    int kind1X;
    int kind2X;
    int kind2Y;
};

const QHash<QString, CodeAxes> &codeTable() {
    using namespace sharedaxis;
    static const QHash<QString, CodeAxes> table = {
        {QStringLiteral("!001-613C-30"), {Speed, Speed, Speed}},
        {QStringLiteral("!001-613C-40"), {Speed, Speed, Speed}},
        {QStringLiteral("!002-613C-30"), {ZeroList, Speed, Speed}},
        {QStringLiteral("!002-613C-40"), {ZeroList, Speed, Speed}},
        {QStringLiteral("!006-7208"), {Throttle, Throttle, Throttle}},
        {QStringLiteral("!003-5EF2-5EF4"), {Pressure, Pressure, Speed}},
        {QStringLiteral("!004-5EF2-5EF4"), {ZeroList, ZeroList, Pressure}},
        {QStringLiteral("!003-6064-6066"), {CyclicAir, ZeroList, Speed}},
        {QStringLiteral("!004-6064-6066"), {ZeroList, CyclicAir, CyclicAir}},
        {QStringLiteral("!012-6064-6066"), {AirSteps, CyclicAir, CyclicAir}},
    };
    return table;
}

template <std::size_t N> int entry(const std::array<int, N> &list, int i) {
    return i >= 1 && static_cast<std::size_t>(i) <= N ? list[static_cast<std::size_t>(i - 1)] : 0;
}

double round3(double x) {
    return roundTo(x, 3);
}

QString sharedText(const GridAxes &axes, int axis, int count, int i) {
    return FloatToStr(sharedHeader(axes, axis, count, i));
}

} // namespace

int sharedAxisOf(const QString &code, int kind, bool yAxis) {
    const auto found = codeTable().constFind(code);
    if (found == codeTable().constEnd())
        return yAxis ? sharedaxis::Speed : sharedaxis::ZeroList;
    if (yAxis)
        return found->kind2Y;
    return kind == 1 ? found->kind1X : found->kind2X;
}

int breakpoint(const GridAxes &axes, int axis, int i) {
    switch (axis) {
    case sharedaxis::Speed:
        return entry(axes.rpm, i);
    case sharedaxis::Throttle:
        return entry(axes.throttle, i);
    case sharedaxis::Pressure:
        return entry(axes.pressure, i);
    case sharedaxis::CyclicAir:
        return entry(axes.air, i);
    case sharedaxis::AirSteps:
        return i >= 1 && i <= 255 ? axes.air[0] + 4 * (i - 1) : 0;
    default:
        return 0;
    }
}

double sharedHeader(const GridAxes &axes, int axis, int count, int i) {
    if (count != 32)
        return breakpoint(axes, axis, i);
    if (i % 2 == 1)
        return breakpoint(axes, axis, (i + 1) / 2);
    return (breakpoint(axes, axis, i / 2) + breakpoint(axes, axis, i / 2 + 1)) / 2.0;
}

QStringList columnHeaders(int kind, const AxisSpan &x, const GridAxes &axes) {
    QStringList headers;
    const int n = x.count;
    if (!x.code.isEmpty()) {
        const int axis = sharedAxisOf(x.code, kind, false);
        for (int i = 1; i <= n; ++i)
            headers << sharedText(axes, axis, n, i);
        return headers;
    }
    const double step = n > 1 ? (x.end - x.start) / (n - 1) : 0.0;
    for (int i = 1; i <= n; ++i) {
        if (kind == 1) {
            // A curve starting above 0 steps by the span over N (not N - 1), rounded.
            headers << FloatToStr(x.start == 0 ? round3((i - 1) * step + x.start)
                                               : round3((i - 1) * roundHalfEven((x.end - x.start) / n) + x.start));
        } else if (x.start == 0) {
            headers << FloatToStr(roundHalfEven(static_cast<double>(i - 1) * n + x.start));
        } else if (n != 1) {
            headers << FloatToStr(round3((i - 1) * roundHalfEven((x.end - x.start) / (n - 1)) + x.start));
        } else {
            headers << QString();
        }
    }
    return headers;
}

QStringList rowHeaders(const AxisSpan &y, const GridAxes &axes) {
    QStringList headers;
    const int m = y.count;
    if (!y.code.isEmpty()) {
        const int axis = sharedAxisOf(y.code, 2, true);
        for (int j = 1; j <= m; ++j)
            headers << sharedText(axes, axis, m, j);
        return headers;
    }
    for (int j = 1; j <= m; ++j)
        headers << (m != 1 ? FloatToStr(round3((j - 1) * roundHalfEven((y.end - y.start) / (m - 1)) + y.start))
                           : QString());
    return headers;
}

} // namespace korvel
