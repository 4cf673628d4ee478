#pragma once

#include <QList>

#include <array>
#include <vector>

namespace korvel {

// The recent samples of every live channel, for the parameter charts. Each
// channel keeps 1001 samples numbered 1 to 1001: sample 1001 is the current
// one, and on each processed frame the samples of the drawn window move down
// by one place, so the newest value enters the chart one frame later.
class ChannelHistory {
public:
    static constexpr int kSamples = 1001;
    static constexpr int kMaxPosition = 36;

    // Every channel 1..count, all samples 0.
    void reset(int channelCount);
    int channelCount() const { return static_cast<int>(m_samples.size()) - 1; }

    void setCurrent(int channel, float value) { at(channel)[kSamples] = value; }
    float current(int channel) const { return at(channel)[kSamples]; }
    float sample(int channel, int index) const { return at(channel)[static_cast<std::size_t>(index)]; }

    // First sample of the drawn window for the history-length position; beyond
    // 1000 the window is empty.
    static int windowStart(int position) { return 739 + 10 * position; }
    static int windowSize(int position);

    // One processed frame for one channel: `drawn` receives samples
    // windowStart..1000, oldest first, and those samples move down by one.
    // Samples below the window stay as they are.
    void advance(int channel, int position, QList<float> &drawn);

private:
    using Samples = std::array<float, kSamples + 1>; // index 0 unused
    Samples &at(int channel) { return m_samples.at(static_cast<std::size_t>(channel)); }
    const Samples &at(int channel) const { return m_samples.at(static_cast<std::size_t>(channel)); }

    std::vector<Samples> m_samples;
};

// The value label's text: three decimals at most, shortest form ("1.235").
QString chartValueText(float value);

} // namespace korvel
