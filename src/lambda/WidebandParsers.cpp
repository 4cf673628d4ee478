#include "lambda/WidebandParsers.h"

#include "core/Numbers.h"

#include <QByteArray>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace korvel {

namespace {

constexpr std::uint8_t kCarriageReturn = 13;
constexpr std::uint8_t kInnovateSync0 = 0xB2;
constexpr std::uint8_t kInnovateSync1 = 0x82;
constexpr std::uint8_t kAlc1Marker = 0xAA;
constexpr int kPacketBytes = 4;
constexpr int kInnovateWordLimit = 1540;
constexpr double kStoichiometric = 14.7;

// After each byte's step the write position moves on and wraps at 15.
void advance(WidebandState &state) {
    if (++state.buffpoint >= WidebandState::Slots)
        state.buffpoint = 0;
}

// Garbage without sync must not overflow the count.
void countByte(WidebandState &state) {
    state.numlc = std::min(state.numlc + 1, WidebandState::Unsynchronised);
}

// The `count` bytes ending at the write position, read around the ring so that
// a packet that wrapped past position 14 is taken whole.
QByteArray lastBytes(const WidebandState &state, int count) {
    QByteArray bytes;
    for (int i = count - 1; i >= 0; --i) {
        const int at = (state.buffpoint - i + WidebandState::Slots) % WidebandState::Slots;
        bytes.append(static_cast<char>(state.buff[static_cast<std::size_t>(at)]));
    }
    return bytes;
}

void addTextValue(WidebandReadings &out, const QString &text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    // The C locale also reads "nan" and "inf": line noise, not a ratio.
    if (ok && std::isfinite(value))
        out.push_back({text, value});
}

void addRoundedValue(WidebandReadings &out, double value) {
    const QString text = shortestDecimal(roundTo(value, 2));
    out.push_back({text, QLocale::c().toDouble(text)});
}

WidebandReadings parseAemType(WidebandState &state, QByteArrayView chunk, int length) {
    return parseAsciiCr(state, chunk, length);
}
WidebandReadings parseInnovateType(WidebandState &state, QByteArrayView chunk, int) {
    return parseInnovate(state, chunk);
}
WidebandReadings parseAlc1Type(WidebandState &state, QByteArrayView chunk, int) {
    return parseAlc1(state, chunk);
}
WidebandReadings parseApsxType(WidebandState &state, QByteArrayView chunk, int) {
    return parseApsx(state, chunk);
}

} // namespace

WidebandReadings parseAsciiCr(WidebandState &state, QByteArrayView chunk, int length) {
    WidebandReadings out;
    for (char c : chunk) {
        const auto byte = static_cast<std::uint8_t>(c);
        state.buff[static_cast<std::size_t>(state.buffpoint)] = byte;
        if (byte == kCarriageReturn) {
            // numlc counts the characters since the last CR: a message one
            // character short must not borrow a stale byte from the ring.
            if (state.buffpoint >= length && state.numlc >= length)
                addTextValue(out, QString::fromLatin1(lastBytes(state, length + 1).chopped(1)));
            state.buffpoint = 0; // the next message starts at position 1
            state.numlc = 0;
        } else {
            countByte(state);
        }
        advance(state);
    }
    return out;
}

double innovateAfr(int lambdaWord) {
    if (lambdaWord >= kInnovateWordLimit)
        return 0;
    return roundTo((lambdaWord / 1000.0 + 0.5) * kStoichiometric, 2);
}

WidebandReadings parseInnovate(WidebandState &state, QByteArrayView chunk) {
    WidebandReadings out;
    for (char c : chunk) {
        const auto byte = static_cast<std::uint8_t>(c);
        const int at = state.buffpoint;
        state.buff[static_cast<std::size_t>(at)] = byte;
        if (at > 0 && state.buff[static_cast<std::size_t>(at - 1)] == kInnovateSync0 && byte == kInnovateSync1)
            state.numlc = 0;
        else
            countByte(state);
        if (state.numlc == kPacketBytes) {
            const QByteArray packet = lastBytes(state, kPacketBytes);
            const auto b0 = static_cast<std::uint8_t>(packet[0]);
            // Function bits F2..F0 (bits 4 to 2 of b0): 000 is a lambda reading;
            // warm-up, calibration and error states carry a temperature or an
            // error code in the same word and give no value.
            const int function = (b0 >> 2) & 0x07;
            if (function == 0) {
                const int word = ((static_cast<std::uint8_t>(packet[2]) & 0x7F) << 7) |
                                 (static_cast<std::uint8_t>(packet[3]) & 0x7F);
                addRoundedValue(out, innovateAfr(word));
            }
            state.buffpoint = 0;
        }
        advance(state);
    }
    return out;
}

WidebandReadings parseAlc1(WidebandState &state, QByteArrayView chunk) {
    WidebandReadings out;
    for (char c : chunk) {
        const auto byte = static_cast<std::uint8_t>(c);
        state.buff[static_cast<std::size_t>(state.buffpoint)] = byte;
        if (byte == kAlc1Marker)
            state.numlc = 0;
        else
            countByte(state);
        if (state.numlc == kPacketBytes) {
            const QByteArray text = lastBytes(state, kPacketBytes);
            state.buffpoint = 0;
            addTextValue(out, QString::fromLatin1(text));
        }
        advance(state);
    }
    return out;
}

WidebandReadings parseApsx(WidebandState &, QByteArrayView chunk) {
    WidebandReadings out;
    if (!chunk.isEmpty())
        addRoundedValue(out, static_cast<std::uint8_t>(chunk.back()) / 10.0);
    return out;
}

const WidebandType *widebandType(const QString &typeafr) {
    static const std::array<WidebandType, 5> types{{
        {QStringLiteral("Innovate"), 19200, 6, parseInnovateType},
        {QStringLiteral("AEM"), 9600, 4, parseAemType},
        {QStringLiteral("Korvel"), 9600, 5, parseAemType},
        {QStringLiteral("ALC-1"), 9600, 4, parseAlc1Type},
        {QStringLiteral("APSX"), 9600, 4, parseApsxType},
    }};
    for (const WidebandType &type : types)
        if (type.name == typeafr)
            return &type;
    return nullptr;
}

} // namespace korvel
