#include "live/LoggedFrameEncoder.h"

#include "live/FrameLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvel {
namespace {

constexpr int kFastWidebandChannel = 4;
constexpr int kStandardWidebandChannel = 2;
constexpr int kStandardCorrectionChannel = 8;
// The search around the straight-line estimate of the raw value covers the
// scalings that are not straight lines (rounded ratios, halved ADC readings).
constexpr int kEncoderSearchSpan = 3;

struct LoggedRawRange {
    int low, high;
};

LoggedRawRange rawRangeOf(ByteType type) {
    switch (type) {
    case ByteType::U8:
        return {0, 255};
    case ByteType::S8:
        return {-128, 127};
    case ByteType::U16:
        return {0, 65535};
    }
    return {0, 255};
}

// The raw value whose scaled value lies nearest to `value`.
int nearestRaw(const LayoutRow &row, double value) {
    const LoggedRawRange range = rawRangeOf(row.type);
    const double atLow = row.scale(range.low), atHigh = row.scale(range.high);
    double estimate = range.low;
    if (atHigh != atLow)
        estimate = range.low + (value - atLow) * (range.high - range.low) / (atHigh - atLow);
    if (!std::isfinite(estimate))
        estimate = range.low;
    const auto centre = static_cast<int>(std::lround(std::clamp(estimate, double(range.low), double(range.high))));
    int best = centre;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int raw = std::max(range.low, centre - kEncoderSearchSpan);
         raw <= std::min(range.high, centre + kEncoderSearchSpan); ++raw) {
        const double distance = std::abs(row.scale(raw) - value);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = raw;
        }
    }
    return best;
}

void putRaw(QByteArray &frame, const LayoutRow &row, int raw) {
    if (row.type == ByteType::U16) {
        frame[row.byte] = static_cast<char>(raw & 0xFF);
        frame[row.byte + 1] = static_cast<char>(raw >> 8 & 0xFF);
    } else {
        frame[row.byte] = static_cast<char>(raw & 0xFF);
    }
}

// The standard protocol's ECU ratio, which has no channel of its own.
double standardEcuRatio(const LiveChannels &channels, bool narrowbandSensor) {
    const double logged = channels.value(kStandardWidebandChannel);
    if (narrowbandSensor)
        return logged;
    const double coefficient = channels.value(kStandardCorrectionChannel);
    return coefficient > 0 ? logged / coefficient : 0;
}

} // namespace

QByteArray frameOfLoggedChannels(Protocol protocol, const LiveChannels &channels, bool narrowbandSensor) {
    QByteArray frame(frameLength(protocol), '\0');
    for (const LayoutRow &row : frameLayout(protocol)) {
        if (row.byte == LayoutRow::kDerived)
            continue;
        const double value =
            row.channel > 0 ? double(channels.value(row.channel)) : standardEcuRatio(channels, narrowbandSensor);
        putRaw(frame, row, nearestRaw(row, value));
    }
    const bool fast = protocol == Protocol::Fast;
    for (const FlagRow &flag : flagTable()) {
        if (channels.value(flagChannel(protocol, flag.number)) == 0)
            continue;
        const int byte = fast ? flag.fastByte : flag.standardByte;
        frame[byte] = static_cast<char>(frame.at(byte) | 1 << (fast ? flag.fastBit : flag.standardBit));
    }
    return frame;
}

double widebandOfLoggedChannels(Protocol protocol, const LiveChannels &channels) {
    return channels.value(protocol == Protocol::Fast ? kFastWidebandChannel : kStandardWidebandChannel);
}

} // namespace korvel
