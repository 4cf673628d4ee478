#include "tuning/OwedBytes.h"

#include "firmware/FirmwareImage.h"
#include "tuning/TuningWrites.h"

#include <algorithm>

namespace korvel {
namespace {
// The ECU worker notes a cell corrected without a wideband controller here.
constexpr int kMarkerArea = 0xFD00;
} // namespace

void OwedBytes::setTable(std::int64_t address) {
    if (address == m_table)
        return;
    m_table = address;
    m_bits.reset();
}

void OwedBytes::owe(int offset) {
    if (offset >= 0 && offset < kTableSize)
        m_bits.set(static_cast<std::size_t>(offset));
}

void OwedBytes::oweRange(std::int64_t address, int count) {
    if (m_table < 0)
        return;
    const std::int64_t from = std::max<std::int64_t>(address, m_table);
    const std::int64_t to = std::min<std::int64_t>(address + count, m_table + kTableSize);
    for (std::int64_t a = from; a < to; ++a)
        m_bits.set(static_cast<std::size_t>(a - m_table));
}

void OwedBytes::oweAll() {
    m_bits.set();
}

void OwedBytes::settle(int offset, int count) {
    for (int i = std::max(offset, 0); i < std::min(offset + count, kTableSize); ++i)
        m_bits.reset(static_cast<std::size_t>(i));
}

bool OwedBytes::owes(int offset) const {
    return offset >= 0 && offset < kTableSize && m_bits.test(static_cast<std::size_t>(offset));
}

int OwedBytes::first() const {
    for (int i = 0; i < kTableSize; ++i)
        if (m_bits.test(static_cast<std::size_t>(i)))
            return i;
    return -1;
}

int OwedBytes::last() const {
    for (int i = kTableSize - 1; i >= 0; --i)
        if (m_bits.test(static_cast<std::size_t>(i)))
            return i;
    return -1;
}

OwedHandOver sendOwedCorrections(OwedBytes &owed, const FirmwareImage &image, TuningWrites *writes, bool cellWrites) {
    if (owed.empty() || owed.table() < 0)
        return OwedHandOver::Nothing;
    if (!writes || writes->busy())
        return OwedHandOver::Busy;
    const std::int64_t table = owed.table();
    const int lo = owed.first();
    const int hi = owed.last();
    if (lo == hi && cellWrites) {
        writes->remake(static_cast<int>(table + lo), static_cast<std::uint8_t>(image.byteAt(table + lo).value_or(0)),
                       kMarkerArea + lo);
        owed.settle(lo, 1);
    } else if (hi - lo < kFourPointWriteBytes) {
        const int start = std::min(lo, OwedBytes::kTableSize - kFourPointWriteBytes);
        writes->remakeFourPoints(static_cast<int>(table + start), image.slice(table + start, kFourPointWriteBytes));
        owed.settle(start, kFourPointWriteBytes);
    } else {
        writes->remakePopr(static_cast<int>(table), image.slice(table, OwedBytes::kTableSize));
        owed.clear();
    }
    return OwedHandOver::Sent;
}

OwedHandOver sendOwedGbc(OwedBytes &owed, const FirmwareImage &image, TuningWrites *writes) {
    if (owed.empty() || owed.table() < 0)
        return OwedHandOver::Nothing;
    if (!writes || writes->busy())
        return OwedHandOver::Busy;
    writes->remakeGbc(static_cast<int>(owed.table()), image.slice(owed.table(), OwedBytes::kTableSize));
    owed.clear();
    return OwedHandOver::Sent;
}

} // namespace korvel
