#pragma once

#include <cstdint>

namespace korvel::sim {

// SplitMix64: a small, seedable generator, so that random faults and
// wideband noise repeat exactly for the same seed.
inline std::uint64_t nextRandom(std::uint64_t &state) {
    state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t x = state;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A draw in [0, 1).
inline double nextUnit(std::uint64_t &state) {
    return double(nextRandom(state) >> 11) * 0x1.0p-53;
}

} // namespace korvel::sim
