#pragma once

#include <QList>

namespace korvel {

// Which channel's chart sits in which slot of the chart area. Slot −1: not
// shown since the charts were built; 0: hidden again; n ≥ 1: the n-th chart
// from the top. Channels are numbered 1..count.
//
// The saved layout (what the layout file holds) outlives a connection: a
// connection without the file comes back to the previous connection's charts.
class ChartSlots {
public:
    enum class Move { Top = 1, Up = 2, Down = 3, Bottom = 4 };

    // Fresh charts for a connection: every slot −1, nothing ticked, not built.
    void build(int channelCount);
    // The charts are complete; from now on every tick or untick updates the saved layout.
    void finishBuild() { m_built = true; }
    void release() { m_built = false; }
    bool built() const { return m_built; }

    int channelCount() const { return static_cast<int>(m_slots.size()) - 1; }
    int slot(int channel) const { return m_slots.at(channel); }
    bool ticked(int channel) const { return m_ticked.at(channel); }
    bool shown(int channel) const { return slot(channel) >= 1; }
    int nextSlot() const { return m_next; }

    // The channel's check box changed. True when the box really changed,
    // which means the layout file is to be written with saved().
    bool setTicked(int channel, bool ticked);
    // An ordering button of a shown channel. True when the order changed,
    // which means the layout file is to be written with saved().
    bool move(int channel, Move move);

    // The layout file was read (nothing: no file, the saved layout stays):
    // every channel with a saved slot above 0 is ticked, in channel order, and
    // then takes its saved slot. Returns how many times the file is to be
    // written back, one per ticked channel. Lines beyond this protocol's
    // channels are kept in the saved layout as read.
    int restore(const QList<int> *fileSlots);

    // Saved slot of every channel, index 1..count (index 0 unused).
    const QList<int> &saved() const { return m_saved; }
    // The lines of the layout file: one per channel of the current protocol,
    // then those of the channels only another protocol has (the fast
    // protocol's 37 to 56 during a standard connection) as last read or saved.
    QList<int> savedLayout() const { return m_saved.mid(1); }

private:
    QList<int> m_slots{-1};
    QList<bool> m_ticked{false};
    QList<int> m_saved{0};
    int m_next = 1;
    bool m_built = false;

    void save();
};

} // namespace korvel
