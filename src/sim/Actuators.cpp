#include "sim/Actuators.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvel::sim {

namespace {

std::uint8_t u8(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::round(v), 0.0, 255.0));
}
std::uint8_t s8(double v) {
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(std::round(v), -128.0, 127.0)));
}

struct Actuator {
    std::uint8_t id;
    int stateByte; // where the value sits in the state bytes
    int fastByte;  // frame byte showing the same value, -1 = none
    int standardByte;
    std::uint8_t (*own)(const EngineState &); // the ECU's own value
};

// clang-format off
const std::array kActuators{
    Actuator{0x4A, 0, 20, 16, [](const EngineState &e) { return s8(e.ignition * 2); }},
    Actuator{0x42, 3, 36, 19, [](const EngineState &e) { return u8(e.desiredIdleRpm / 10); }},
    Actuator{0x41, 0, 16, 13, [](const EngineState &e) { return u8(e.idleValveDesired); }},
    Actuator{0x4D, 0, 18, 15, [](const EngineState &e) { return u8(e.injCorrection * 256 - 128); }},
    Actuator{0x49, 0, 9,  9,  [](const EngineState &e) { return u8(e.afrTarget * 256 / 14.7 - 128); }},
    Actuator{0x4C, 0, -1, -1, [](const EngineState &e) { return u8(e.injPhase / 6); }},
    Actuator{0x4E, 0, 8,  8,  [](const EngineState &e) { return u8(e.coolantTemp + 40); }},
    Actuator{0x4B, 0, 34, -1, [](const EngineState &e) { return s8(e.octaneCorrection * 2); }},
};
// clang-format on

const Actuator *find(std::uint8_t id) {
    for (const Actuator &a : kActuators)
        if (a.id == id)
            return &a;
    return nullptr;
}

} // namespace

bool ActuatorBank::known(std::uint8_t id) {
    return find(id) != nullptr;
}

QByteArray ActuatorBank::state(std::uint8_t id, const EngineState &engine) const {
    const Actuator *actuator = find(id);
    if (!actuator)
        return {};
    QByteArray bytes(kStateSize, '\0');
    const auto imposedValue = m_imposed.find(id);
    bytes[actuator->stateByte] =
        static_cast<char>(imposedValue != m_imposed.end() ? imposedValue->second : actuator->own(engine));
    return bytes;
}

void ActuatorBank::impose(std::uint8_t id, std::uint8_t value) {
    if (known(id))
        m_imposed[id] = value;
}

void ActuatorBank::release(std::uint8_t id) {
    m_imposed.erase(id);
}

void ActuatorBank::applyTo(QByteArray &frame, FrameLayout layout) const {
    for (const auto &[id, value] : m_imposed) {
        const Actuator *actuator = find(id);
        const int at = layout == FrameLayout::Fast ? actuator->fastByte : actuator->standardByte;
        if (at >= 0 && at < frame.size())
            frame[at] = static_cast<char>(value);
    }
}

} // namespace korvel::sim
