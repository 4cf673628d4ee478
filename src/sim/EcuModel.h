#pragma once

#include "sim/Actuators.h"
#include "sim/DiagnosticFrames.h"
#include "sim/EcuMemory.h"
#include "sim/EngineSource.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace korvel::sim {

// Which frames the simulated ECU speaks: the fast protocol answers every
// service below; a standard ECU knows only the session services and 21 01.
enum class Protocol { Fast, Standard };

inline constexpr int kInitialBaud = 10400;

// Negative response codes the ECU uses (answer 7F, service, code).
inline constexpr std::uint8_t kServiceNotSupported = 0x11;
inline constexpr std::uint8_t kInvalidFormat = 0x12;
inline constexpr std::uint8_t kConditionsNotCorrect = 0x22;
inline constexpr std::uint8_t kOutOfRange = 0x31;
inline constexpr int kMaxReadLength = 0x60;

// The line rate a startDiagnosticSession request names: 0x0A, 0x26, 0x39.
std::optional<int> baudForRateByte(std::uint8_t rateByte);
QByteArray negativeResponse(std::uint8_t service, std::uint8_t code);

struct EcuReply {
    bool answered = false;        // false: the ECU stays silent
    QByteArray data;              // service identifier and parameters of the answer
    std::optional<int> baudAfter; // the rate the ECU talks at once the answer is out
};

// What the ECU does with one request, without any line or timing: the answer
// and the changes to its memory, actuators and communication state. Used by
// one thread at a time (the ECU's).
class EcuModel {
public:
    EcuModel(EcuMemory &memory, const EngineSource &engine, Protocol protocol, PressureSensor sensor);

    EcuReply handle(const QByteArray &request);

    // Communication starts with 81; until then the ECU ignores everything else.
    bool communicationStarted() const { return m_started; }
    // The end of communication (82, a timed-out session, a lost line):
    // actuators go back to the ECU.
    void endCommunication();

private:
    EcuReply startCommunication(const QByteArray &r);
    EcuReply stopCommunication(const QByteArray &r);
    EcuReply startDiagnosticSession(const QByteArray &r);
    EcuReply stopDiagnosticSession(const QByteArray &r);
    EcuReply testerPresent(const QByteArray &r);
    EcuReply readDataByLocalIdentifier(const QByteArray &r);
    EcuReply readMemoryByAddress(const QByteArray &r);
    EcuReply writeMemoryByAddress(const QByteArray &r);
    EcuReply inputOutputControl(const QByteArray &r);
    EcuReply diagnosticFrame(FrameLayout layout, std::uint8_t localId) const;

    struct Service {
        std::uint8_t id;
        bool fastOnly;
        EcuReply (EcuModel::*handler)(const QByteArray &);
    };
    static const Service kServices[];

    EcuMemory &m_memory;
    const EngineSource &m_engine;
    Protocol m_protocol;
    PressureSensor m_sensor;
    ActuatorBank m_actuators;
    bool m_started = false;
};

} // namespace korvel::sim
