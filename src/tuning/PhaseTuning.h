#pragma once

#include <cstdint>

namespace korvel {

struct TuningSettings;

// The injection phase (degrees) a cell aims at for the engine speed and the
// injection pulse (ms) with the intake valve timing of the settings: into the
// open valve (centred on its open period, 540 added) or onto the closed one.
int phaseTarget(double rpm, double injPulse, const TuningSettings &settings);

// A phase as its table byte: Round(phase / 6), its low eight bits.
std::uint8_t phaseByte(double phase);

// A phase table read back from its byte: signed byte × 6.
inline double phaseOfByte(std::uint8_t byte) {
    return (byte >= 128 ? byte - 256 : byte) * 6.0;
}

} // namespace korvel
