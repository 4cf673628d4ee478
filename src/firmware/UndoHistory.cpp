#include "firmware/UndoHistory.h"

namespace korvel {

void UndoHistory::push(const FirmwareImage &image) {
    if (m_count < kSlots) {
        m_slots[static_cast<std::size_t>(m_count++)] = image;
        return;
    }
    for (std::size_t i = 1; i < kSlots; ++i)
        m_slots[i - 1] = m_slots[i];
    m_slots[kSlots - 1] = image;
}

std::optional<FirmwareImage> UndoHistory::step() {
    if (m_count == 0)
        return std::nullopt;
    return m_slots[static_cast<std::size_t>(--m_count)];
}

} // namespace korvel
