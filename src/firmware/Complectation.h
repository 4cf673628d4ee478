#pragma once

#include "firmware/Outcome.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace korvel {

class ControlBoard;
class FirmwareImage;
class ProgramLog;
class TuningAddressSets;

// The eleven equipment-configuration bytes: 6051, 6052, 60DE, 5F00..5F07.
inline constexpr int kComplectationBytes = 11;
const std::array<std::uint16_t, kComplectationBytes> &complectationAddresses();

// The image's eleven bytes as 22 upper-case hex digits, in index order.
QString ImageComplectationString(const FirmwareImage &image);

inline const QString kComplectationTitle = QStringLiteral("Комплектация:");

// What the bits of the eleven bytes say, before anything is changed.
struct ComplectationReading {
    QStringList lines;        // "Комплектация:" then one line per fitted item
    bool phaseSensor = false; // byte 0 bit 5
    QString airBit;           // "1" works without the air-flow sensor, "0" with it
};

// Reads the eleven texts (index 0..10; missing or empty texts count as 0) for
// a firmware family. A text that is not upper-case hex is refused and nothing
// is read.
Outcome<ComplectationReading> readComplectation(const QStringList &texts, int firmwareFamily);

// The tables tuning writes to, handed to the ECU worker after the decoding.
struct TuningTargets {
    std::int64_t decpopr = 0; // correction table
    std::int64_t decgbc = 0;  // cycle-filling table
};

// Decodes the ECU's complectation into the program log, sets the phase-sensor
// flag and runs the air-measurement selection with "Настройка по". A refused
// text is logged and changes nothing.
Outcome<TuningTargets> DecodeComplectation(const QStringList &texts, int firmwareFamily, TuningAddressSets &sets,
                                           const QString &tuneBy, ProgramLog &log, ControlBoard *board = nullptr);

} // namespace korvel
