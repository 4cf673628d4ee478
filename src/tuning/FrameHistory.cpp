#include "tuning/FrameHistory.h"

namespace korvel {

void FrameHistory::push(const FrameRecord &frame) {
    if (m_size > 0 && frame.seconds < fromNewest(0).seconds)
        m_size = 0;
    m_frames[m_next] = frame;
    m_next = (m_next + 1) % kCapacity;
    if (m_size < kCapacity)
        ++m_size;
}

const FrameRecord &FrameHistory::fromNewest(std::size_t back) const {
    return m_frames[(m_next + kCapacity - 1 - back) % kCapacity];
}

std::optional<FrameRecord> FrameHistory::newest() const {
    if (m_size == 0)
        return std::nullopt;
    return fromNewest(0);
}

std::optional<FrameRecord> FrameHistory::at(double seconds) const {
    for (std::size_t back = 0; back < m_size; ++back)
        if (fromNewest(back).seconds <= seconds)
            return fromNewest(back);
    return std::nullopt;
}

std::optional<FrameRecord> FrameHistory::from(double seconds) const {
    std::optional<FrameRecord> found;
    for (std::size_t back = 0; back < m_size; ++back) {
        if (fromNewest(back).seconds < seconds)
            break;
        found = fromNewest(back);
    }
    return found;
}

} // namespace korvel
