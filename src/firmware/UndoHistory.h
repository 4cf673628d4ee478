#pragma once

#include "firmware/FirmwareImage.h"

#include <array>
#include <optional>

namespace korvel {

// Up to six earlier copies of the firmware image, newest last; a seventh push
// drops the oldest. There is no redo.
class UndoHistory {
public:
    static constexpr int kSlots = 6;

    void push(const FirmwareImage &image);
    // Takes the newest copy out; nothing when the history is empty.
    std::optional<FirmwareImage> step();
    int count() const { return m_count; }
    void clear() { m_count = 0; }

private:
    std::array<FirmwareImage, kSlots> m_slots;
    int m_count = 0;
};

} // namespace korvel
