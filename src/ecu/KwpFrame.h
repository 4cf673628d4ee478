#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace korvel {

// A KWP2000 frame on the K-line: format, target, source, [length], data, checksum.
struct KwpFrame {
    static constexpr std::uint8_t EcuAddress = 0x10;
    static constexpr std::uint8_t TesterAddress = 0xF1;

    // The tester's frame for `data`: the format byte carries lengths 1 to 16;
    // from 17 bytes on the format is 0x80 and a separate length byte follows.
    static QByteArray build(QByteArrayView data);

    // The data of the frame that starts at the first byte of `bytes`. The
    // length sits in the low six bits of the format byte, or in the byte after
    // the source address when those bits are 0. Empty when the frame is
    // incomplete or its checksum is wrong.
    static QByteArray parse(QByteArrayView bytes);

    static std::uint8_t checksum(QByteArrayView bytes);
};

// Bytes as two uppercase hex digits each, no separators; "null" for none.
QString hexText(QByteArrayView bytes);

} // namespace korvel
