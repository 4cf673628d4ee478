#include "tuning/FourPointMethod.h"

#include "core/Numbers.h"
#include "firmware/FirmwareStore.h"
#include "live/TuningTrace.h"
#include "tuning/Accumulator.h"
#include "tuning/CellLocks.h"
#include "tuning/CorrectionAuthority.h"
#include "tuning/TuningGrid.h"
#include "tuning/TuningWrites.h"

#include <algorithm>

namespace korvel {
namespace {
constexpr int kSteadyTicks = 5;
constexpr double kMaxCorrection = 1.99;
constexpr int kChangedBeforeWrite = 2;
} // namespace

void FourPointMethod::startConnection(const Settings &settings) {
    m_settings = settings;
    m_shareCount.fill(0);
    for (auto &pointShares : m_shares)
        pointShares.fill(1.0);
    m_sameCount = 0;
}

int FourPointMethod::threshold() const {
    // A point holds 20 shares; a higher setting still evaluates when it is full.
    return std::min(m_settings.statCycles + kExtraShares, kMaxShares);
}

void FourPointMethod::addShare(int point, double share) {
    if (m_locks && m_locks->locked(point))
        return;
    auto &count = m_shareCount[static_cast<std::size_t>(point)];
    if (count >= kMaxShares)
        return;
    ++count;
    m_shares[static_cast<std::size_t>(point)][static_cast<std::size_t>(count)] = share;
}

bool FourPointMethod::tick(const Input &in, TuningGrid &grid, FirmwareStore &store, std::int64_t table,
                           TuningWrites *writes, TuningCounters &counters, TuningTrace &trace) {
    const WorkingPoint &wp = in.point;
    if (in.rpm == 0 || in.throttle < m_settings.minThrottle || !in.tuningOn)
        return false;
    const int q = wp.index();
    m_curPoint = q;
    m_sameCount = q == m_prevPoint ? m_sameCount + 1 : 0;
    m_prevPoint = q;

    if (m_sameCount > kSteadyTicks) {
        const double e = in.coefficient - 1;
        const double w = m_settings.weight / 100.0;
        const bool nextCol = wp.col + 1 < TuningGrid::kSize;
        const bool nextRow = wp.row + 1 < TuningGrid::kSize;
        addShare(q, w * wp.k11 * e + 1);
        if (nextCol)
            addShare(q + 1, w * wp.k12 * e + 1);
        if (nextRow)
            addShare(q + 16, w * wp.k21 * e + 1);
        if (nextCol && nextRow)
            addShare(q + 17, w * wp.k22 * e + 1);
        ++counters.samplesStored;
    }

    bool evaluated = false;
    // Limits outside a byte act as no limit at all.
    const int lowest = static_cast<int>(std::clamp(roundHalfEven(m_settings.corrMin * 128), -1.0, 256.0));
    const int highest = static_cast<int>(std::clamp(roundHalfEven(m_settings.corrMax * 128), -1.0, 256.0));
    for (int p = 0; p < kPoints; ++p) {
        auto &count = m_shareCount[static_cast<std::size_t>(p)];
        if (count < threshold())
            continue;
        if (m_locks && m_locks->locked(p)) { // locked after its shares came
            count = 0;
            continue;
        }
        auto &pointShares = m_shares[static_cast<std::size_t>(p)];
        double sum = 0;
        for (int i = 1; i <= count; ++i)
            sum += pointShares[static_cast<std::size_t>(i)];
        pointShares[0] = sum / count;
        const double mean = pointShares[0];
        count = 0;
        const int byte = store.image().byteAt(table + p).value_or(0);
        const double old = byte / 128.0;
        double corrected = std::min(old * mean, kMaxCorrection);
        if (m_authority)
            corrected = m_authority->limit(p, old, corrected);
        trace.oldCorrection = old;
        trace.newCorrection = corrected;
        const int b = static_cast<int>(std::clamp(roundHalfEven(corrected * 128), -1.0, 256.0));
        const int clamped = std::clamp(std::max(std::min(b, highest), lowest), 0, 255);
        if (b != byte) {
            store.storeByte(table + p, static_cast<std::uint8_t>(clamped));
            m_owed->setTable(table);
            m_owed->owe(p);
            ++m_changed;
            // The cell's correction follows its byte, so that the accumulation
            // and the neighbours' learning go on from it, and the grid shows it.
            TuningCell &cell = grid.cells[static_cast<std::size_t>(p)];
            cell.corrCurrent = cell.learned = static_cast<float>(clamped / 128.0);
            (in.byPressure ? cell.corrKpa : cell.corrThr) = cell.corrCurrent;
        }
        evaluated = true;
    }

    if (evaluated && m_changed > kChangedBeforeWrite) {
        m_writeDue = true;
        m_changed = 0;
        ++counters.evaluations;
        const int corners[] = {q, wp.col + 1 < TuningGrid::kSize ? q + 1 : -1,
                               wp.row + 1 < TuningGrid::kSize ? q + 16 : -1,
                               wp.col + 1 < TuningGrid::kSize && wp.row + 1 < TuningGrid::kSize ? q + 17 : -1};
        for (int c : corners)
            if (c >= 0)
                ++grid.cells[static_cast<std::size_t>(c)].applied;
        const int diagonal = corners[3] >= 0 ? corners[3] : q;
        m_cornerText = QStringLiteral("ОК") + QString::number(grid.cells[static_cast<std::size_t>(diagonal)].applied);
    }
    return handOver(store.image(), writes);
}

bool FourPointMethod::handOver(const FirmwareImage &image, TuningWrites *writes, bool force) {
    if (!m_writeDue && !force)
        return false;
    const OwedHandOver sent = sendOwedCorrections(*m_owed, image, writes, false);
    if (sent == OwedHandOver::Busy)
        return false;
    m_writeDue = false;
    return sent == OwedHandOver::Sent;
}

} // namespace korvel
