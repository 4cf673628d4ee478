#pragma once

#include "sim/DriveModel.h"
#include "sim/EcuFuelling.h"
#include "sim/EngineState.h"
#include "sim/StopSignal.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace korvel::sim {

// The engine both devices observe: the seeded drive, running in real time from
// the moment the source is created, or a state set from outside (tests, the
// demo), which stays until the drive is resumed. Safe to use from any thread.
class EngineSource {
public:
    explicit EngineSource(std::uint32_t seed = 1, std::uint32_t troubleCodes = 0);

    EngineState now() const;
    // The drive at `seconds` after the start, as the ECU fuels it (a virtual clock's view).
    EngineState at(double seconds) const;
    // Seconds since the source was created.
    double elapsed() const;
    // The ECU fuels from its memory from now on: every drive state carries the
    // ECU's view of the air, its target and the true mixture; a state set from
    // outside keeps its values and gains the true mixture.
    void setFuelling(std::shared_ptr<const EcuFuelling> fuelling);
    bool closedLoop() const;
    void set(const EngineState &state);
    void resumeDrive();
    bool driving() const;

private:
    mutable std::mutex m_mutex;
    DriveModel m_drive;
    std::uint32_t m_troubleCodes;
    Clock::time_point m_started;
    std::optional<EngineState> m_fixed;
    std::shared_ptr<const EcuFuelling> m_fuelling;
};

} // namespace korvel::sim
