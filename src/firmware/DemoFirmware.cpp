#include "firmware/DemoFirmware.h"

#include "firmware/FirmwareImage.h"

#include <algorithm>
#include <cstdint>

namespace korvel {
namespace {

// Integer formulas only, so the image is the same bytes on every machine.

// A position table: entry x holds the grid position of x (sixteenths of a
// cell), exactly 16 n at breakpoint n and linear in between.
QByteArray positionTable(const std::array<int, 16> &breakpointIndex) {
    QByteArray table(256, '\0');
    for (int x = 0; x < 256; ++x) {
        int position = 240;
        if (x <= breakpointIndex[0]) {
            position = 0;
        } else {
            for (std::size_t n = 1; n < breakpointIndex.size(); ++n) {
                const int from = breakpointIndex[n - 1];
                const int to = breakpointIndex[n];
                if (x <= to) {
                    position = 16 * static_cast<int>(n - 1) + 16 * (x - from) / (to - from);
                    break;
                }
            }
        }
        table[x] = static_cast<char>(position);
    }
    return table;
}

template <typename Cell> QByteArray grid(Cell cell) {
    QByteArray table(256, '\0');
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            table[r * 16 + c] = static_cast<char>(cell(r, c));
    return table;
}

// Cycle filling rises with the load and bulges in the middle of the speed range (raw * 8 / 3 = 40..507).
int gbcRaw(int r, int c) {
    return 15 + r * 160 / 15 + c * (15 - c) * r / 56;
}
// Corrections around 1.0 (128), within about 3 %.
int correctionRaw(int r, int c) {
    return 128 + (r * 7 + c * 3) % 9 - 4;
}
// Ignition advance (raw / 2 degrees): more with speed, less with load.
int ignitionRaw(int r, int c) {
    return std::max(10, 28 + c * 52 / 15 - r * 24 / 15);
}
// Mixture target ((raw + 128) * 14.7 / 256): 14.7 at part load, down to 13.0 at full load.
int mixtureRaw(int r, int) {
    return r < 10 ? 128 : 128 - (r - 9) * 5;
}
// Injection phase (signed raw * 6 degrees): 240 to 360 degrees.
int phaseRaw(int, int c) {
    return 40 + c * 20 / 15;
}

std::array<int, 16> indexesOf(const std::array<int, 16> &breakpoints, int step) {
    std::array<int, 16> indexes{};
    for (std::size_t i = 0; i < breakpoints.size(); ++i)
        indexes[i] = breakpoints[i] / step;
    return indexes;
}

void putWord(FirmwareImage &image, int address, int value) {
    image.setByte(address, static_cast<std::uint8_t>(value & 0xFF));
    image.setByte(address + 1, static_cast<std::uint8_t>(value >> 8));
}

void putWordBigEndian(FirmwareImage &image, int address, int value) {
    image.setByte(address, static_cast<std::uint8_t>(value >> 8));
    image.setByte(address + 1, static_cast<std::uint8_t>(value & 0xFF));
}

// Injector lag (microseconds) over 6 to 21 V: long at low voltage.
int injectorLagUs(int volts) {
    return 300 + 9000 / volts;
}
// Cold-start injection (microseconds): more when cold (row = temperature step), less with speed (column).
int startInjectionUs(int row, int column) {
    return 2000 + (7 - row) * 1500 + (7 - column) * 250;
}

// The cycle filling a 1.6 l engine takes at a pressure row of the demo's
// pressure axis (about 3.853 mg per kPa), as bytes of 8/3 mg.
int pressureGbcRaw(int r, int) {
    const int kpa = r * 59772 / 10000 + demofirmware::kPressureBaseKpa;
    return (kpa * 11559 + 4000) / 8000;
}

FirmwareImage demoImage() {
    FirmwareImage image = *FirmwareImage::fromBytes(QByteArray(kFirmwareSize, '\xFF')); // erased flash

    // Identification block: a banner and a fixed pseudo-random pattern.
    std::uint32_t seed = 0x4B4F5256U; // "KORV"
    for (int a = 0; a < 0xE0; ++a) {
        seed = seed * 1664525U + 1013904223U;
        image.setByte(a, static_cast<std::uint8_t>(seed >> 24));
    }
    image.setBytes(0x0010, QByteArray("KORVEL DEMO FIRMWARE 1.0"));

    // The code that loads the speed table with the 40 rpm step: MOV DPTR,#613C; MOV A,55h.
    image.setBytes(0x0100, QByteArray::fromHex("90613CE555"));

    image.setBytes(0x613C, positionTable(indexesOf(demofirmware::kRpmBreakpoints, 40)));
    image.setBytes(0x7208, positionTable(indexesOf(demofirmware::kThrottleBreakpoints, 1)));

    putWord(image, 0x5EF2, demofirmware::kPressureBaseKpa * 60);
    image.setByte(0x5EF4, demofirmware::kPressureDivisor);
    putWord(image, 0x60D2, demofirmware::kSensorGainWord);
    image.setByte(0x60D4, demofirmware::kSensorOffsetByte);
    putWord(image, 0x6098, demofirmware::kSensorGainWord / 4); // the J7ESA places, same sensor
    putWord(image, 0x609A, demofirmware::kSensorOffsetByte * 4);
    putWord(image, 0x6064, demofirmware::kAirBaseWord);
    image.setByte(0x6066, demofirmware::kAirStepDivisor);

    // Complectation: oxygen, knock and phase sensors; speed sensor; air-flow sensor fitted.
    image.setByte(0x6051, 0x29);
    image.setByte(0x6052, 0x10);
    image.setByte(0x60DE, 0x00);
    image.setBytes(0x5F00, QByteArray(8, '\0'));

    // The J5LS tuning tables.
    image.setBytes(0x75EF, grid(gbcRaw));
    image.setBytes(0x7CF7, grid(correctionRaw));
    image.setBytes(0x8E2A, grid(correctionRaw));
    image.setBytes(0x6DC8, grid(ignitionRaw));
    image.setBytes(0x852F, grid(ignitionRaw));
    image.setBytes(0x6953, grid(mixtureRaw));
    image.setBytes(0x76EF, grid(mixtureRaw));
    image.setBytes(0x64D3, grid(phaseRaw));

    for (int i = 0; i < 16; ++i)
        putWord(image, demofirmware::kInjectorLagAddress + 2 * i, injectorLagUs(6 + i));
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            putWordBigEndian(image, demofirmware::kStartInjectionAddress + 2 * (r * 8 + c), startInjectionUs(r, c));
    return image;
}

} // namespace

QByteArray makeDemoFirmware() {
    return demoImage().bytes();
}

QByteArray makeDemoPressureFirmware() {
    FirmwareImage image = demoImage();
    image.setBytes(0x0010, QByteArray("KORVEL DEMO FIRMWARE 1.0 MAP"));
    // Without the air-flow sensor: the cycle filling comes from its table over pressure rows.
    image.setByte(0x5F05, 0x04);
    image.setBytes(0x75EF, grid(pressureGbcRaw));
    return image.bytes();
}

} // namespace korvel
