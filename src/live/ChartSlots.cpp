#include "live/ChartSlots.h"

namespace korvel {

void ChartSlots::build(int channelCount) {
    m_slots.fill(-1, channelCount + 1);
    m_ticked.fill(false, channelCount + 1);
    // The saved layout spans the whole program run; a protocol with more channels extends it.
    if (m_saved.size() < channelCount + 1)
        m_saved.resize(channelCount + 1, 0);
    m_next = 1;
    m_built = false;
}

bool ChartSlots::setTicked(int channel, bool ticked) {
    if (m_ticked.at(channel) == ticked)
        return false;
    m_ticked[channel] = ticked;
    if (ticked) {
        m_slots[channel] = m_next++;
    } else {
        --m_next;
        const int freed = m_slots[channel];
        m_slots[channel] = 0;
        for (int &slot : m_slots)
            if (slot > freed)
                --slot;
    }
    save();
    return true;
}

// While the file is being restored the saved layout stays as read.
void ChartSlots::save() {
    if (m_built)
        for (int q = 1; q < m_slots.size(); ++q)
            m_saved[q] = m_slots[q];
}

bool ChartSlots::move(int channel, Move move) {
    const int a = m_slots.at(channel);
    if (a < 1)
        return false;
    const QList<int> before = m_slots;
    switch (move) {
    case Move::Top:
        for (int q = 1; q < m_slots.size(); ++q)
            if (q != channel && m_slots[q] >= 1 && m_slots[q] < a)
                ++m_slots[q];
        m_slots[channel] = 1;
        break;
    case Move::Up:
        if (a > 1) {
            for (int q = 1; q < m_slots.size(); ++q)
                if (m_slots[q] == a - 1)
                    m_slots[q] = a;
            m_slots[channel] = a - 1;
        }
        break;
    case Move::Down:
        if (a < m_next - 1) {
            for (int q = 1; q < m_slots.size(); ++q)
                if (m_slots[q] == a + 1)
                    m_slots[q] = a;
            m_slots[channel] = a + 1;
        }
        break;
    case Move::Bottom:
        for (int q = 1; q < m_slots.size(); ++q)
            if (m_slots[q] > a)
                --m_slots[q];
        m_slots[channel] = m_next - 1;
        break;
    }
    if (m_slots == before)
        return false;
    save();
    return true;
}

int ChartSlots::restore(const QList<int> *fileSlots) {
    if (fileSlots) {
        if (m_saved.size() < fileSlots->size() + 1)
            m_saved.resize(fileSlots->size() + 1, 0);
        for (int q = 1; q <= fileSlots->size(); ++q)
            m_saved[q] = fileSlots->at(q - 1);
    }
    int writes = 0;
    for (int q = 1; q < m_slots.size(); ++q) {
        const int wanted = m_saved.at(q);
        if (wanted <= 0)
            continue;
        if (setTicked(q, true))
            ++writes;
        m_slots[q] = wanted;
    }
    return writes;
}

} // namespace korvel
