// The chart layout file as the full diagnostic view keeps it: the ordering
// buttons reach it, and a connection in a protocol with fewer channels keeps
// the lines of the channels it does not have.
#include "app/ChartsController.h"
#include "core/ProgramLog.h"
#include "live/ChartLayoutFile.h"
#include "live/FrameLayout.h"
#include "live/LiveParameters.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct ChartsRig {
    QTemporaryDir work;
    LiveChannels channels;
    ProgramLog log;
    std::unique_ptr<ChartsController> charts;

    ChartsRig() { reopen(); }
    // A new program run in the same working folder.
    void reopen() { charts = std::make_unique<ChartsController>(channels, log, work.path()); }
    QString path() const { return QDir(work.path()).filePath(QString::fromLatin1(chartlayout::kFileName)); }
    QList<int> file(int lines = kFastChannelCount) const { return *chartlayout::read(path(), lines); }
    void connect(Protocol protocol) {
        charts->release();
        charts->startDiagnostics(channelNames(protocol));
    }
};

// Slots of the fast protocol's channels 1..56 with the given ones shown.
QList<int> layoutWith(std::initializer_list<std::pair<int, int>> shown) {
    QList<int> layout(kFastChannelCount, -1);
    for (auto [channel, slot] : shown)
        layout[channel - 1] = slot;
    return layout;
}

} // namespace

TEST(ChartsLayout, OrderingButtonsAreSavedForTheNextRun) {
    ChartsRig rig;
    rig.connect(Protocol::Fast);
    for (int q : {5, 2, 9})
        rig.charts->setTicked(q, true);
    rig.charts->move(9, ChartSlots::Move::Top);
    EXPECT_EQ(rig.file(), layoutWith({{9, 1}, {5, 2}, {2, 3}}));
    rig.charts->move(5, ChartSlots::Move::Down);
    EXPECT_EQ(rig.file(), layoutWith({{9, 1}, {2, 2}, {5, 3}}));

    rig.reopen();
    rig.connect(Protocol::Fast);
    EXPECT_EQ(rig.charts->chartSlots().slot(9), 1);
    EXPECT_EQ(rig.charts->chartSlots().slot(2), 2);
    EXPECT_EQ(rig.charts->chartSlots().slot(5), 3);
    EXPECT_TRUE(rig.log.lines().isEmpty()) << rig.log.lines().join('\n').toStdString();
}

TEST(ChartsLayout, StandardConnectionKeepsTheFastProtocolsCharts) {
    ChartsRig rig;
    rig.connect(Protocol::Fast);
    for (int q : {40, 3, 56})
        rig.charts->setTicked(q, true);
    ASSERT_EQ(rig.file(), layoutWith({{40, 1}, {3, 2}, {56, 3}}));

    // The next run connects in the standard protocol and changes its own charts.
    rig.reopen();
    rig.connect(Protocol::Standard);
    EXPECT_EQ(rig.charts->chartSlots().slot(3), 2) << "channel 3's slot comes back as it was";
    rig.charts->setTicked(7, true);
    const QList<int> afterStandard = rig.file();
    EXPECT_EQ(afterStandard.mid(kStandardChannelCount), layoutWith({{40, 1}, {56, 3}}).mid(kStandardChannelCount))
        << "the lines of channels 37 to 56 are kept";
    EXPECT_GE(afterStandard.at(6), 1) << "the standard connection's own tick is saved";

    // And the run after that, in the fast protocol again, shows them.
    rig.reopen();
    rig.connect(Protocol::Fast);
    EXPECT_TRUE(rig.charts->chartSlots().shown(40));
    EXPECT_TRUE(rig.charts->chartSlots().shown(56));
    EXPECT_TRUE(rig.charts->chartSlots().shown(7));
}
