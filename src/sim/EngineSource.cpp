#include "sim/EngineSource.h"

namespace korvel::sim {

EngineSource::EngineSource(std::uint32_t seed, std::uint32_t troubleCodes)
    : m_drive(seed), m_troubleCodes(troubleCodes), m_started(Clock::now()) {}

EngineState EngineSource::now() const {
    std::lock_guard lock(m_mutex);
    if (m_fixed) {
        EngineState state = *m_fixed;
        if (m_fuelling)
            state.mixture = m_fuelling->mixtureFor(state);
        return state;
    }
    EngineState state = m_drive.at(std::chrono::duration<double>(Clock::now() - m_started).count());
    state.troubleCodes = m_troubleCodes;
    return m_fuelling ? m_fuelling->fuel(state) : state;
}

EngineState EngineSource::at(double seconds) const {
    std::lock_guard lock(m_mutex);
    EngineState state = m_drive.at(seconds);
    state.troubleCodes = m_troubleCodes;
    return m_fuelling ? m_fuelling->fuel(state) : state;
}

double EngineSource::elapsed() const {
    return std::chrono::duration<double>(Clock::now() - m_started).count();
}

void EngineSource::setFuelling(std::shared_ptr<const EcuFuelling> fuelling) {
    std::lock_guard lock(m_mutex);
    m_fuelling = std::move(fuelling);
}

bool EngineSource::closedLoop() const {
    std::lock_guard lock(m_mutex);
    return m_fuelling != nullptr;
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
