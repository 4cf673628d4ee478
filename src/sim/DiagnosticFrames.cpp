#include "sim/DiagnosticFrames.h"
#include "sim/EcuMemory.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvel::sim {

namespace {

constexpr double kAdcStep = 5.0 / 256; // 8-bit reading of 5 V
constexpr double kStandardO2Step = 5.0 / 1024;

enum class Raw { U8, S8, U16 };

struct FieldCodec {
    int byte;
    Raw raw;
    double (*value)(const EngineState &);
    double scale; // physical value = raw x scale + offset
    double offset;
};

// The flag bits of one frame byte: flag numbers for bits 0 to 7, 0 = unused.
struct FlagByte {
    int byte;
    std::array<int, 8> flags;
};

struct Layout {
    int length;
    const FieldCodec *fields;
    std::size_t fieldCount;
    const FlagByte *flagBytes;
    std::size_t flagByteCount;
    int firstCodeByte;  // frame byte of the first trouble-code byte carried
    int firstCodeGroup; // which code byte (0-based) goes there
};

constexpr std::array<int, 8> kFlags1to8{1, 2, 3, 4, 5, 6, 7, 8};
constexpr std::array<int, 8> kFlags9to15{0, 9, 10, 11, 12, 13, 14, 15};
constexpr std::array<int, 8> kFlags16to17{16, 17, 0, 0, 0, 0, 0, 0};

// clang-format off
const std::array kFastFields{
    FieldCodec{7,  Raw::U8,  [](const EngineState &s) { return double(s.workPoint); }, 1, 0},
    FieldCodec{8,  Raw::U8,  [](const EngineState &s) { return s.coolantTemp; }, 1, -40},
    FieldCodec{9,  Raw::U8,  [](const EngineState &s) { return s.afrTarget; }, kAfrStep, 128 * kAfrStep},
    FieldCodec{10, Raw::S8,  [](const EngineState &s) { return s.rco; }, 1.0 / 256, 0},
    FieldCodec{11, Raw::U8,  [](const EngineState &s) { return s.throttle; }, 1, 0},
    FieldCodec{12, Raw::U8,  [](const EngineState &s) { return s.rpm; }, 40, 0},
    FieldCodec{13, Raw::U8,  [](const EngineState &s) { return s.idleRpm; }, 40, 0},
    FieldCodec{14, Raw::U16, [](const EngineState &s) { return s.cycleTime; }, 1, 0},
    FieldCodec{16, Raw::U8,  [](const EngineState &s) { return s.idleValveDesired; }, 1, 0},
    FieldCodec{17, Raw::U8,  [](const EngineState &s) { return s.idleValveCurrent; }, 1, 0},
    FieldCodec{18, Raw::U8,  [](const EngineState &s) { return s.injCorrection; }, 1.0 / 256, 0.5},
    FieldCodec{19, Raw::S8,  [](const EngineState &s) { return s.injPhase; }, 3, 0},
    FieldCodec{20, Raw::S8,  [](const EngineState &s) { return s.ignition; }, 0.5, 0},
    FieldCodec{21, Raw::S8,  [](const EngineState &s) { return s.ignitionCorrection[0]; }, 0.5, 0},
    FieldCodec{22, Raw::S8,  [](const EngineState &s) { return s.ignitionCorrection[1]; }, 0.5, 0},
    FieldCodec{23, Raw::S8,  [](const EngineState &s) { return s.ignitionCorrection[2]; }, 0.5, 0},
    FieldCodec{24, Raw::S8,  [](const EngineState &s) { return s.ignitionCorrection[3]; }, 0.5, 0},
    FieldCodec{25, Raw::U8,  [](const EngineState &s) { return s.knockVoltage; }, kAdcStep, 0},
    FieldCodec{27, Raw::U8,  [](const EngineState &s) { return s.batteryVoltage; }, 0.093, 0},
    FieldCodec{28, Raw::S8,  [](const EngineState &s) { return s.rcoAdc; }, 1, 0},
    FieldCodec{29, Raw::U8,  [](const EngineState &s) { return s.throttleVoltage; }, kAdcStep, 0},
    FieldCodec{30, Raw::U8,  [](const EngineState &s) { return s.coolantVoltage; }, kAdcStep, 0},
    FieldCodec{31, Raw::U8,  [](const EngineState &s) { return s.airTempVoltage; }, kAdcStep, 0},
    FieldCodec{34, Raw::S8,  [](const EngineState &s) { return s.octaneCorrection; }, 0.5, 0},
    FieldCodec{35, Raw::U8,  [](const EngineState &s) { return s.vehicleSpeed; }, 1, 0},
    FieldCodec{36, Raw::U8,  [](const EngineState &s) { return s.desiredIdleRpm; }, 10, 0},
    FieldCodec{37, Raw::U8,  [](const EngineState &s) { return s.airTemp; }, 1, -40},
    FieldCodec{39, Raw::U16, [](const EngineState &s) { return s.gtcRich; }, 1.0 / 256, 0},
    FieldCodec{41, Raw::U16, [](const EngineState &s) { return s.gtcLean; }, 1.0 / 256, 0},
    FieldCodec{43, Raw::U16, [](const EngineState &s) { return s.injPulse; }, 1.0 / 125, 0},
    FieldCodec{45, Raw::U16, [](const EngineState &s) { return s.airMass; }, 0.1, 0},
    FieldCodec{47, Raw::U16, [](const EngineState &s) { return s.cyclicAir; }, 1.0 / 6, 0},
    FieldCodec{49, Raw::U16, [](const EngineState &s) { return s.fuelPerHour; }, 1.0 / 50, 0},
};

const std::array kStandardFields{
    FieldCodec{8,  Raw::U8,  [](const EngineState &s) { return s.coolantTemp; }, 1, -40},
    FieldCodec{9,  Raw::U8,  [](const EngineState &s) { return s.afrTarget; }, kAfrStep, 128 * kAfrStep},
    FieldCodec{10, Raw::U8,  [](const EngineState &s) { return s.throttle; }, 1, 0},
    FieldCodec{11, Raw::U8,  [](const EngineState &s) { return s.rpm; }, 40, 0},
    FieldCodec{12, Raw::U8,  [](const EngineState &s) { return s.idleRpm; }, 10, 0},
    FieldCodec{13, Raw::U8,  [](const EngineState &s) { return s.idleValveDesired; }, 1, 0},
    FieldCodec{14, Raw::U8,  [](const EngineState &s) { return s.idleValveCurrent; }, 1, 0},
    FieldCodec{15, Raw::U8,  [](const EngineState &s) { return s.injCorrection; }, 1.0 / 256, 0.5},
    FieldCodec{16, Raw::S8,  [](const EngineState &s) { return s.ignition; }, 0.5, 0},
    FieldCodec{17, Raw::U8,  [](const EngineState &s) { return s.vehicleSpeed; }, 1, 0},
    FieldCodec{18, Raw::U8,  [](const EngineState &s) { return s.batteryVoltage; }, 0.05, 5.2},
    FieldCodec{19, Raw::U8,  [](const EngineState &s) { return s.desiredIdleRpm; }, 10, 0},
    FieldCodec{20, Raw::U8,  [](const EngineState &s) { return s.oxygenVoltage; }, kStandardO2Step, 0},
    FieldCodec{22, Raw::U16, [](const EngineState &s) { return s.injPulse; }, 1.0 / 125, 0},
    FieldCodec{24, Raw::U16, [](const EngineState &s) { return s.airMass; }, 0.1, 0},
    FieldCodec{26, Raw::U16, [](const EngineState &s) { return s.cyclicAir; }, 1.0 / 6, 0},
    FieldCodec{28, Raw::U16, [](const EngineState &s) { return s.fuelPerHour; }, 1.0 / 50, 0},
    FieldCodec{30, Raw::U16, [](const EngineState &s) { return s.fuelPerDistance; }, 1.0 / 128, 0},
};
// clang-format on

const std::array kFastFlagBytes{FlagByte{0, kFlags1to8}, FlagByte{1, kFlags9to15}, FlagByte{33, kFlags16to17}};
const std::array kStandardFlagBytes{FlagByte{2, kFlags1to8}, FlagByte{3, kFlags9to15}, FlagByte{21, kFlags16to17}};

// In the standard frame byte 3 carries flags, so only code bytes 2 to 4 fit.
const Layout kFastLayout{
    kFastFrameLength, kFastFields.data(), kFastFields.size(), kFastFlagBytes.data(), kFastFlagBytes.size(), 3, 0};
const Layout kStandardLayout{kStandardFrameLength,
                             kStandardFields.data(),
                             kStandardFields.size(),
                             kStandardFlagBytes.data(),
                             kStandardFlagBytes.size(),
                             4,
                             1};

constexpr int kTroubleCodeBytes = 4;

long rawValue(double value, double scale, double offset, Raw raw) {
    const double steps = std::round((value - offset) / scale);
    switch (raw) {
    case Raw::U8:
        return static_cast<long>(std::clamp(steps, 0.0, 255.0));
    case Raw::S8:
        return static_cast<long>(std::clamp(steps, -128.0, 127.0));
    case Raw::U16:
        return static_cast<long>(std::clamp(steps, 0.0, 65535.0));
    }
    return 0;
}

void store(QByteArray &frame, int byte, Raw raw, long value) {
    frame[byte] = static_cast<char>(value & 0xFF);
    if (raw == Raw::U16)
        frame[byte + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Sensor bytes read back as ((x x 128 + 128) >> 8) x step, that is x/2 rounded
// up; an even raw value carries every step exactly.
long halvedReading(double volts) {
    const double steps = std::clamp(std::round(volts / kAdcStep), 0.0, 127.0);
    return static_cast<long>(steps) * 2;
}

std::uint16_t word(const QByteArray &image, int at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(image[at]) |
                                      (static_cast<std::uint8_t>(image[at + 1]) << 8));
}

} // namespace

int frameLength(FrameLayout layout) {
    return layout == FrameLayout::Fast ? kFastFrameLength : kStandardFrameLength;
}

PressureSensor PressureSensor::typical() {
    return {22.222, 0.475};
}

PressureSensor PressureSensor::fromImage(const QByteArray &image) {
    constexpr int kGainWord = 0x60D2;
    constexpr int kOffsetByte = 0x60D4;
    if (image.size() <= kOffsetByte)
        return typical();
    const double gain = word(image, kGainWord) / 500.0;
    const double offset = static_cast<std::uint8_t>(image[kOffsetByte]) * 5.0 / 256;
    // A sensor must span atmospheric pressure within its 5 V range.
    if (gain <= 0 || (5 + offset) * gain < 101.3 || offset * gain > 60)
        return typical();
    return {gain, offset};
}

QByteArray encodeDiagnosticFrame(FrameLayout layout, const EngineState &state, const PressureSensor &sensor) {
    const Layout &l = layout == FrameLayout::Fast ? kFastLayout : kStandardLayout;
    QByteArray frame(l.length, '\0');
    for (std::size_t i = 0; i < l.fieldCount; ++i) {
        const FieldCodec &f = l.fields[i];
        store(frame, f.byte, f.raw, rawValue(f.value(state), f.scale, f.offset, f.raw));
    }
    for (std::size_t i = 0; i < l.flagByteCount; ++i) {
        const FlagByte &fb = l.flagBytes[i];
        unsigned bits = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (fb.flags[bit] != 0 && state.flag(static_cast<EngineFlag>(fb.flags[bit])))
                bits |= 1U << bit;
        frame[fb.byte] = static_cast<char>(bits);
    }
    for (int group = l.firstCodeGroup; group < kTroubleCodeBytes; ++group)
        frame[l.firstCodeByte + group - l.firstCodeGroup] =
            static_cast<char>((state.troubleCodes >> (8 * group)) & 0xFF);
    if (layout == FrameLayout::Fast) {
        const double pressureStep = kAdcStep * sensor.gain;
        if (pressureStep > 0)
            store(frame, 26, Raw::U8,
                  rawValue(state.manifoldPressure, pressureStep, sensor.offset * sensor.gain, Raw::U8));
        store(frame, 32, Raw::U8, halvedReading(state.oxygenChange));
        store(frame, 38, Raw::U8, halvedReading(state.oxygenVoltage));
    }
    return frame;
}

} // namespace korvel::sim
