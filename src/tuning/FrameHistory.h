#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace korvel {

// What tuning keeps of one processed frame: when it came, the cell it lies
// in and what the ECU aimed at then. A wideband reading shows the mixture of
// the frame one transport delay before it, not of the frame it arrives with.
struct FrameRecord {
    double seconds = 0;
    int cell = -1; // -1: outside every cell
    double afrEcu = 0;
    double ecuTrim = 1; // the ECU's own correction coefficient at the time
    double throttle = 0;
};

// A short ring of the most recent frames, oldest overwritten first. Frames
// come in time order; a frame older than the newest one starts it again (a
// clock that jumped back, a new drive).
class FrameHistory {
public:
    // 6.4 s of frames at 20 a second: longer than any exhaust delay.
    static constexpr std::size_t kCapacity = 128;

    void push(const FrameRecord &frame);
    void clear() { m_size = 0; }
    std::size_t size() const { return m_size; }

    // The newest frame at or before `seconds`; nothing when the ring holds
    // none that old (the delay reaches further back than it keeps).
    std::optional<FrameRecord> at(double seconds) const;
    // The oldest frame at or after `seconds`: where a span of time begins.
    std::optional<FrameRecord> from(double seconds) const;
    std::optional<FrameRecord> newest() const;

private:
    const FrameRecord &fromNewest(std::size_t back) const;

    std::array<FrameRecord, kCapacity> m_frames{};
    std::size_t m_next = 0; // where the next frame goes
    std::size_t m_size = 0;
};

} // namespace korvel
