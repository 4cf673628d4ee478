#include "sim/EngineState.h"

namespace korvel::sim {

void EngineState::setFlag(EngineFlag f, bool on) {
    const std::uint32_t bit = 1U << (static_cast<int>(f) - 1);
    flags = on ? (flags | bit) : (flags & ~bit);
}

} // namespace korvel::sim
