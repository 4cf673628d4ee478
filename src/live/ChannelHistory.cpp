#include "live/ChannelHistory.h"

#include "core/Numbers.h"

#include <algorithm>
#include <cstring>

namespace korvel {

void ChannelHistory::reset(int channelCount) {
    m_samples.assign(static_cast<std::size_t>(std::max(channelCount, 0) + 1), Samples{});
}

int ChannelHistory::windowSize(int position) {
    return std::max(0, kSamples - windowStart(position));
}

void ChannelHistory::advance(int channel, int position, QList<float> &drawn) {
    Samples &samples = at(channel);
    const int start = windowStart(position);
    const int size = windowSize(position);
    drawn.resize(size);
    if (size == 0)
        return;
    float *window = samples.data() + start;
    std::memcpy(drawn.data(), window, sizeof(float) * static_cast<std::size_t>(size));
    std::memmove(window, window + 1, sizeof(float) * static_cast<std::size_t>(size));
}

QString chartValueText(float value) {
    return shortestDecimal(roundTo(static_cast<double>(value), 3));
}

} // namespace korvel
