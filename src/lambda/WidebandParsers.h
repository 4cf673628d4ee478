#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace korvel {

// The assembly state of a wideband stream; survives between reads.
struct WidebandState {
    static constexpr int Slots = 15; // positions 0 to 14 of the 16-byte buffer are used
    // Before the first sync pattern or marker: bytes of a packet whose start
    // was missed must not make a value.
    static constexpr int Unsynchronised = 1 << 20;
    std::array<std::uint8_t, 16> buff{};
    int buffpoint = 0;          // next write position
    int numlc = Unsynchronised; // bytes seen since the last sync pattern or marker
};

// One converted value: its text and its number.
struct WidebandReading {
    QString afr;
    double afr_float = 0;
};
using WidebandReadings = std::vector<WidebandReading>;

// The parsers take the bytes of one read and give the values completed by them.
// ASCII value of `length` characters ended by CR ("AEM" 4, "Korvel" 5).
WidebandReadings parseAsciiCr(WidebandState &state, QByteArrayView chunk, int length);
// Packets B2 82 b0 b1 b2 b3; only packets reporting a lambda (function bits 000) give a value.
WidebandReadings parseInnovate(WidebandState &state, QByteArrayView chunk);
// Marker 0xAA, then 4 ASCII characters.
WidebandReadings parseAlc1(WidebandState &state, QByteArrayView chunk);
// The last byte of the read is AFR × 10.
WidebandReadings parseApsx(WidebandState &state, QByteArrayView chunk);

// Innovate lambda word to AFR (0 from 1540 on), rounded to two decimals.
double innovateAfr(int lambdaWord);

struct WidebandType {
    QString name; // the value of "Датчик кислорода"
    int baud;
    int valueLength;
    WidebandReadings (*parse)(WidebandState &, QByteArrayView, int valueLength);
};
// The controller type named exactly `typeafr`; null for none.
const WidebandType *widebandType(const QString &typeafr);
// The line rate when the type is unknown.
inline constexpr int kDefaultWidebandBaud = 19200;

} // namespace korvel
