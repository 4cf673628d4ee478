#pragma once

#include <QByteArray>

#include <array>

namespace korvel {

// A firmware image of our own for demonstrations, the simulator and tests: not
// any real car's, so it identifies as "Unknown" by its SWID, but laid out like
// a J5LS firmware so that every reader of the program finds coherent data:
// the speed and throttle position tables (step 40), the pressure axis and
// sensor constants, the cyclic-air constants, the complectation (oxygen, knock,
// phase and speed sensors with the air-flow sensor) and the J5LS tuning tables
// (cycle filling, corrections, ignition, mixture target, injection phase).
QByteArray makeDemoFirmware();
// The same car's firmware without the air-flow sensor: it takes the cycle
// filling from its table over pressure rows (the table holds what a 1.6 l
// engine breathes at each pressure breakpoint) and corrects over pressure.
QByteArray makeDemoPressureFirmware();

// The breakpoints the demo's tables encode: what the axis builder must find.
namespace demofirmware {
inline constexpr std::array<int, 16> kRpmBreakpoints = {600,  720,  840,  1000, 1160, 1400, 1640, 1960,
                                                        2320, 2720, 3200, 3840, 4520, 5360, 6360, 7480};
inline constexpr std::array<int, 16> kThrottleBreakpoints = {0,  1,  3,  5,  8,  12, 16, 20,
                                                             26, 32, 40, 50, 60, 70, 85, 100};
inline constexpr int kPressureBaseKpa = 15;  // word at 5EF2 = 15 * 60
inline constexpr int kPressureDivisor = 92;  // byte at 5EF4
inline constexpr int kSensorGainWord = 9450; // 60D2: 18.9 kPa per volt
inline constexpr int kSensorOffsetByte = 29; // 60D4: 0.566 V
inline constexpr int kAirBaseWord = 360;     // 6064: first air breakpoint 60
inline constexpr int kAirStepDivisor = 152;  // 6066
// Two tables of 16-bit cells, for the calibration editor: the injector lag by
// battery voltage (16 cells, little-endian, microseconds) and the cold-start
// injection time (8 x 8 cells, big-endian, microseconds).
inline constexpr int kInjectorLagAddress = 0x9000;
inline constexpr int kStartInjectionAddress = 0x9020;
} // namespace demofirmware

} // namespace korvel
