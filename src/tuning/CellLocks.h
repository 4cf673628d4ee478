#pragma once

#include <bitset>

namespace korvel {

// The cells of the tuning grid a tuner has locked: tuning never changes them
// and neighbour learning never spills into them. Kept for the run with the
// rest of the tuning tables' state; a reloaded image keeps them.
class CellLocks {
public:
    static constexpr int kCells = 256;

    bool locked(int cell) const { return cell >= 0 && cell < kCells && m_bits.test(static_cast<std::size_t>(cell)); }
    void setLocked(int cell, bool locked) {
        if (cell >= 0 && cell < kCells)
            m_bits.set(static_cast<std::size_t>(cell), locked);
    }
    void toggle(int cell) { setLocked(cell, !locked(cell)); }
    void clear() { m_bits.reset(); }
    int count() const { return static_cast<int>(m_bits.count()); }

private:
    std::bitset<kCells> m_bits;
};

} // namespace korvel
