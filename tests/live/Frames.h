#pragma once

#include "live/LiveParameters.h"

#include <QByteArray>

#include <initializer_list>
#include <utility>

namespace korvel::test {

// A frame of the protocol's length, zero except for the given (index, byte) pairs.
inline QByteArray frameWith(Protocol protocol, std::initializer_list<std::pair<int, int>> bytes) {
    QByteArray frame(frameLength(protocol), '\0');
    for (auto [index, value] : bytes)
        frame[index] = static_cast<char>(value);
    return frame;
}

inline QByteArray fastFrame(std::initializer_list<std::pair<int, int>> bytes = {}) {
    return frameWith(Protocol::Fast, bytes);
}

inline QByteArray standardFrame(std::initializer_list<std::pair<int, int>> bytes = {}) {
    return frameWith(Protocol::Standard, bytes);
}

} // namespace korvel::test
