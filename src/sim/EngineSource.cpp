#include "sim/EngineSource.h"

namespace korvel::sim {

EngineSource::EngineSource(std::uint32_t seed, std::uint32_t troubleCodes)
    : m_drive(seed), m_troubleCodes(troubleCodes), m_started(Clock::now()) {}

EngineState EngineSource::now() const {
    std::lock_guard lock(m_mutex);
    if (m_fixed)
        return *m_fixed;
    EngineState state = m_drive.at(std::chrono::duration<double>(Clock::now() - m_started).count());
    state.troubleCodes = m_troubleCodes;
    return state;
}

void EngineSource::set(const EngineState &state) {
    std::lock_guard lock(m_mutex);
    m_fixed = state;
}

void EngineSource::resumeDrive() {
    std::lock_guard lock(m_mutex);
    m_fixed.reset();
}

bool EngineSource::driving() const {
    std::lock_guard lock(m_mutex);
    return !m_fixed.has_value();
}

} // namespace korvel::sim
