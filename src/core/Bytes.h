#pragma once

#include <QByteArrayView>

#include <cstdint>

namespace korvel {

// The byte at `index` of a frame or answer as the unsigned value the wire carries.
inline std::uint8_t byteAt(QByteArrayView bytes, qsizetype index) {
    return static_cast<std::uint8_t>(bytes[index]);
}

// A byte and a 16-bit word read as two's complement.
inline int signed8(int b) {
    return b >= 128 ? b - 256 : b;
}
inline int signed16(int w) {
    return w >= 32768 ? w - 65536 : w;
}

} // namespace korvel
