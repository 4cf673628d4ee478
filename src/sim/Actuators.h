#pragma once

#include "sim/DiagnosticFrames.h"
#include "sim/EngineState.h"

#include <QByteArray>

#include <cstdint>
#include <map>

namespace korvel::sim {

// The actuators the ECU lets a tester take over (service 0x30). Each reports
// a state of four bytes; the value sits in byte 0, for the idle speed target
// in byte 3. While a value is imposed the ECU also reports it in its
// diagnostic frames.
class ActuatorBank {
public:
    static bool known(std::uint8_t id);
    static constexpr int kStateSize = 4;

    // Empty for an unknown identifier.
    QByteArray state(std::uint8_t id, const EngineState &engine) const;
    void impose(std::uint8_t id, std::uint8_t value);
    void release(std::uint8_t id);
    void releaseAll() { m_imposed.clear(); }
    // Writes the imposed values into a diagnostic frame where it shows them.
    void applyTo(QByteArray &frame, FrameLayout layout) const;

private:
    std::map<std::uint8_t, std::uint8_t> m_imposed;
};

} // namespace korvel::sim
