#include "ecu/FrameCompleteness.h"

#include <cstdint>

namespace korvel {

namespace {
constexpr std::uint8_t kFormatLengthMask = 0x3F;
constexpr qsizetype kShortHeader = 3;
constexpr qsizetype kLongHeader = 4;
} // namespace

std::optional<qsizetype> kwpFrameSize(QByteArrayView bytes) {
    if (bytes.size() < kShortHeader)
        return std::nullopt;
    const qsizetype length = static_cast<std::uint8_t>(bytes[0]) & kFormatLengthMask;
    if (length != 0)
        return kShortHeader + length + 1;
    if (bytes.size() < kLongHeader)
        return std::nullopt;
    return kLongHeader + static_cast<std::uint8_t>(bytes[kShortHeader]) + 1;
}

bool exchangeComplete(QByteArrayView received, qsizetype sentSize) {
    if (sentSize <= 0 || received.size() <= sentSize)
        return false;
    const QByteArrayView answer = received.sliced(sentSize);
    const std::optional<qsizetype> size = kwpFrameSize(answer);
    return size && answer.size() >= *size;
}

} // namespace korvel
