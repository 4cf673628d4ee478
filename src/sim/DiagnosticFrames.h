#pragma once

#include "sim/EngineState.h"

#include <QByteArray>

namespace korvel::sim {

// The two diagnostic frames: the fast one answers 21 0F, the standard one 21 01.
enum class FrameLayout { Fast, Standard };

inline constexpr int kFastFrameLength = 51;
inline constexpr int kStandardFrameLength = 36;

int frameLength(FrameLayout layout);

// The manifold pressure sensor: pressure (kPa) = (voltage + offset) x gain.
// The fast frame reports its voltage as an 8-bit reading of a 5 V range.
struct PressureSensor {
    double gain = 0;
    double offset = 0;

    // A common 15-115 kPa sensor.
    static PressureSensor typical();
    // The sensor the firmware is calibrated for (its words at 0x60D2 and
    // 0x60D4); the typical one when the image holds no usable constants.
    static PressureSensor fromImage(const QByteArray &image);
};

// The frame an ECU sends for this engine state: every value is the raw byte
// (or little-endian word) that the frame's scaling turns back into it, rounded
// to the nearest step and limited to what the byte can carry.
QByteArray encodeDiagnosticFrame(FrameLayout layout, const EngineState &state, const PressureSensor &sensor);

} // namespace korvel::sim
