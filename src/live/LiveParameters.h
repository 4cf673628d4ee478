#pragma once

#include "core/DiagnosticFrameLength.h"
#include "core/Protocol.h"

#include <QtGlobal>

#include <array>
#include <optional>

class QString;

namespace korvel {

inline constexpr int kFastChannelCount = 56;
inline constexpr int kStandardChannelCount = 36;
inline constexpr int kMaxChannelCount = kFastChannelCount;
inline constexpr int kFlagCount = 17;
// Flag 13: the ECU has detected knock.
inline constexpr int kKnockFlag = 13;
// Flag 3: power enrichment; flag 4: fuel cut.
inline constexpr int kPowerEnrichmentFlag = 3;
inline constexpr int kFuelCutFlag = 4;

// A diagnostic frame is told apart by its length alone.
// The layout of a frame of this length; nothing for any other length.
std::optional<Protocol> protocolOfFrame(qsizetype length);
int frameLength(Protocol protocol);
// ChannelCount: one live channel per decoded value and flag.
int channelCount(Protocol protocol);

// The decoded engine values. A field that the frame's protocol does not carry
// keeps its previous value; everything starts at zero.
struct LiveParameters {
    double ecuWorkPoint = 0; // working point index the ECU reports (fast only)
    double coolantTemp = 0;
    double afrEcu = 0;      // air/fuel ratio reported by the ECU
    double afrWideband = 0; // wideband controller's ratio, or its narrowband substitute
    double rco = 0;         // fast only
    double throttle = 0;    // percent
    double rpm = 0;
    double idleRpm = 0;
    double cycleTime = 0; // fast only
    double idleValveDesired = 0;
    double idleValveCurrent = 0;
    double injCorrection = 0; // 1.0 = no correction
    // The ECU's own correction coefficient as the frame reports it: with a
    // wideband controller `injCorrection` is the measured ratio instead.
    double ecuTrim = 0;
    double injPhase = 0; // fast only
    double ignition = 0;
    std::array<double, 4> ignitionCorr{}; // cylinders 1 to 4 (fast only)
    double adcKnock = 0;                  // the adc* readings are volts (fast only, adcO2 both)
    double adcMaf = 0;
    double adcRco = 0;
    double adcTps = 0;
    double adcCoolant = 0;
    double adcAirTemp = 0;
    double adcO2Change = 0;
    double batteryU = 0;
    double octaneCorr = 0; // fast only
    double vehicleSpeed = 0;
    double desiredIdleRpm = 0;
    double airTemp = 0; // fast only
    double adcO2 = 0;
    double gtcRich = 0; // fast only
    double gtcLean = 0; // fast only
    double injPulse = 0;
    double airMass = 0;
    double cyclicAir = 0;
    double fuelPerHour = 0;
    double fuelPerDistance = 0; // standard only
    double injectorLoad = 0;    // injector duty, percent
    // Manifold pressure in tenths of a kPa, single precision as the grid axes (fast only).
    float pressure = 0;
    // The tuning load: pressure when tuning by pressure, else throttle; set once per new request.
    double loadValue = 0;
    // Flags 1..17 at index 0..16, each 0 or 1.
    std::array<int, kFlagCount> flags{};
    // The oxygen sensor is the ECU's narrowband one ("УДК"); cleared only when a connection starts.
    bool narrowband = false;

    int flag(int number) const { return flags.at(static_cast<std::size_t>(number - 1)); }
};

// The current sample of every live channel, numbered from 1, single precision.
class LiveChannels {
public:
    float value(int channel) const { return m_values.at(static_cast<std::size_t>(channel)); }
    void set(int channel, float value) { m_values.at(static_cast<std::size_t>(channel)) = value; }

private:
    std::array<float, kMaxChannelCount + 1> m_values{};
};

} // namespace korvel
