#pragma once

#include "live/ChannelHistory.h"
#include "live/ChartSlots.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace korvel {

class LiveChannels;
class ProgramLog;

// The parameter charts of the full diagnostic view, without the window: which
// channel is ticked and in which slot, the samples each chart draws, the value
// texts and colours, the chart height and the history length. The layout is
// kept in "doNOTchange.cfg" in the working folder.
class ChartsController : public QObject {
    Q_OBJECT
public:
    static constexpr int kBuiltHeight = 140;
    static constexpr int kHeightStep = 10;
    static constexpr int kInitialHeightPosition = 21;
    static constexpr int kInitialHistoryPosition = 20;

    ChartsController(const LiveChannels &channels, ProgramLog &log, QString workDir, QObject *parent = nullptr);

    // Diagnostics run: the first time in a connection the charts are built
    // for these channels with zeroed samples; every time the layout file is read back.
    void startDiagnostics(const QStringList &channelNames);
    // Disconnect: the charts go away with their colours.
    void release();

    bool built() const { return m_slots.built(); }
    const QStringList &names() const { return m_names; }
    int channelCount() const { return static_cast<int>(m_names.size()); }
    const ChartSlots &chartSlots() const { return m_slots; }

    // The channel's check box, and the hide button that unticks it.
    void setTicked(int channel, bool ticked);
    // The four ordering buttons; a new order is written to the layout file.
    void move(int channel, ChartSlots::Move move);
    // The value's colour, 0xRRGGBB; the chart follows from the next frame.
    void setColour(int channel, int rgb);
    int colour(int channel) const { return m_colours.value(channel); }

    // The height track bar: every panel and chart is position × 10 high.
    void setHeightPosition(int position);
    int chartHeight() const { return m_height; }
    // The history length track bar: 262 − 10 × position points.
    void setHistoryPosition(int position) { m_historyPosition = position; }
    int historyPosition() const { return m_historyPosition; }

    // One processed frame: every channel's value text and drawn samples.
    void updateFrame();
    QString valueText(int channel) const { return m_texts.value(channel); }
    const QList<float> &points(int channel) const { return m_points.at(channel); }
    // Processed frames since the build; before the first the charts show placeholders.
    int framesSinceBuild() const { return m_frames; }

signals:
    void chartsBuilt();
    void chartsReleased();
    // Slots changed: the window places the panels and charts again.
    void layoutChanged();
    void heightChanged();
    // New values and points; the window repaints at its own pace.
    void frameUpdated();

private:
    void writeLayout();

    const LiveChannels &m_channels;
    ProgramLog &m_log;
    QString m_layoutPath;
    QStringList m_names;
    ChartSlots m_slots;
    ChannelHistory m_history;
    QList<QList<float>> m_points; // index 1..count
    QStringList m_texts;          // index 1..count
    QList<int> m_colours;         // index 1..count
    int m_height = kBuiltHeight;
    int m_historyPosition = kInitialHistoryPosition;
    int m_frames = 0;
};

} // namespace korvel
