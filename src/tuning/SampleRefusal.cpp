#include "tuning/SampleRefusal.h"

#include <QStringList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace korvel {
namespace {

const std::array<const char *, kRefusalReasons> kRefusalNames = {
    "",
    "прогрев ШДК",
    "ошибка ШДК",
    "ШДК вне диапазона",
    "нет замера ШДК",
    "холодный двигатель",
    "отсечка топлива",
    "обогащение по мощности",
    "скорость дросселя",
    "обороты вне пределов",
    "нагрузка вне пределов",
    "край ячейки",
    "переход",
    "ячейка заблокирована",
};

} // namespace

QString refusalName(SampleRefusal reason) {
    const auto i = static_cast<std::size_t>(reason);
    return i < kRefusalNames.size() ? QString::fromUtf8(kRefusalNames[i]) : QString();
}

void RefusalCounts::count(SampleRefusal reason, int cell) {
    const auto i = static_cast<std::size_t>(reason);
    if (reason == SampleRefusal::None || i >= kRefusalReasons)
        return;
    ++m_overall[i];
    if (cell >= 0 && cell < kCells)
        ++m_cells[static_cast<std::size_t>(cell)][i];
}

void RefusalCounts::clear() {
    m_overall.fill(0);
    for (PerReason &c : m_cells)
        c.fill(0);
}

RefusalCounts::PerReason RefusalCounts::ofCell(int cell) const {
    if (cell < 0 || cell >= kCells)
        return {};
    return m_cells[static_cast<std::size_t>(cell)];
}

int RefusalCounts::totalOf(const PerReason &counts) {
    return std::accumulate(counts.begin(), counts.end(), 0);
}

int RefusalCounts::total() const {
    return totalOf(m_overall);
}

QString RefusalCounts::summary(const PerReason &counts) {
    std::vector<std::size_t> order;
    for (std::size_t i = 1; i < kRefusalReasons; ++i)
        if (counts[i] > 0)
            order.push_back(i);
    if (order.empty())
        return QStringLiteral("нет");
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    QStringList parts;
    for (std::size_t i : order)
        parts << QStringLiteral("%1: %2").arg(refusalName(static_cast<SampleRefusal>(i))).arg(counts[i]);
    return parts.join(QStringLiteral(", "));
}

} // namespace korvel
