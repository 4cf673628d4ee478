#include "live/ChartSlots.h"
#include "core/Cp1251.h"
#include "live/ChartLayoutFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

constexpr int kChannels = 12;

// Slots of channels 1..count, for comparing whole layouts.
QList<int> slotsOf(const ChartSlots &charts) {
    QList<int> out;
    for (int q = 1; q <= charts.channelCount(); ++q)
        out << charts.slot(q);
    return out;
}

// Built charts (as after the first connection's restore) with `order` ticked in turn.
ChartSlots builtWith(std::initializer_list<int> order) {
    ChartSlots charts;
    charts.build(kChannels);
    charts.restore(nullptr);
    charts.finishBuild();
    for (int q : order)
        charts.setTicked(q, true);
    return charts;
}

} // namespace

TEST(ChartSlots, TickingStacksChartsAndUntickingClosesTheGap) {
    ChartSlots charts = builtWith({5, 2, 9});
    EXPECT_EQ(charts.slot(5), 1);
    EXPECT_EQ(charts.slot(2), 2);
    EXPECT_EQ(charts.slot(9), 3);
    EXPECT_EQ(charts.nextSlot(), 4);
    EXPECT_EQ(charts.slot(1), -1) << "never shown";

    // The file written now holds lines 6, 3 and 10 = 1, 2, 3.
    const QByteArray file = chartlayout::encode(charts.savedLayout());
    const QList<QByteArray> lines = file.split('\n');
    EXPECT_EQ(lines.at(5), "1\r");
    EXPECT_EQ(lines.at(2), "2\r");
    EXPECT_EQ(lines.at(9), "3\r");
    EXPECT_EQ(lines.at(1), "-1\r");

    EXPECT_TRUE(charts.setTicked(2, false));
    EXPECT_EQ(charts.slot(5), 1);
    EXPECT_EQ(charts.slot(9), 2) << "the chart below the hidden one moves up";
    EXPECT_EQ(charts.slot(2), 0) << "hidden again";
    EXPECT_EQ(charts.saved().at(2), 0);
    EXPECT_EQ(charts.saved().at(9), 2);
    EXPECT_EQ(charts.nextSlot(), 3);

    EXPECT_FALSE(charts.setTicked(2, false)) << "an unchanged box writes nothing";
    EXPECT_EQ(charts.nextSlot(), 3);
}

TEST(ChartSlots, OrderingButtons) {
    using M = ChartSlots::Move;
    struct Case {
        const char *name;
        int channel;
        M move;
        QList<int> slots5_2_9_7; // slots of channels 5, 2, 9, 7 afterwards
    };
    // Start: 5→1, 2→2, 9→3, 7→4.
    const Case cases[] = {
        {"up on the top chart changes nothing", 5, M::Up, {1, 2, 3, 4}},
        {"down on the last chart changes nothing", 7, M::Down, {1, 2, 3, 4}},
        {"up swaps with the chart above", 9, M::Up, {1, 3, 2, 4}},
        {"down swaps with the chart below", 2, M::Down, {1, 3, 2, 4}},
        {"to the top pushes the ones above down", 9, M::Top, {2, 3, 1, 4}},
        {"to the top from the top stays", 5, M::Top, {1, 2, 3, 4}},
        {"to the bottom pulls the ones below up", 2, M::Bottom, {1, 4, 2, 3}},
        {"to the bottom from the bottom stays", 7, M::Bottom, {1, 2, 3, 4}},
    };
    for (const Case &c : cases) {
        ChartSlots charts = builtWith({5, 2, 9, 7});
        const QList<int> saved = charts.saved();
        const bool changed = charts.move(c.channel, c.move);
        const QList<int> now{charts.slot(5), charts.slot(2), charts.slot(9), charts.slot(7)};
        EXPECT_EQ(now, c.slots5_2_9_7) << c.name;
        EXPECT_EQ(changed, now != QList<int>({1, 2, 3, 4})) << c.name << ": a new order is to be written";
        if (changed)
            EXPECT_EQ(
                (QList<int>{charts.saved().at(5), charts.saved().at(2), charts.saved().at(9), charts.saved().at(7)}),
                c.slots5_2_9_7)
                << c.name << ": the new order is the saved layout";
        else
            EXPECT_EQ(charts.saved(), saved) << c.name;
        EXPECT_EQ(charts.nextSlot(), 5) << c.name;
    }
}

TEST(ChartSlots, RestoreTakesTheSlotsOfTheFile) {
    // Line 4 (channel 3) reads "3", all others "-1".
    QByteArray file = cp1251::encode(QStringLiteral("Графики\r\n"));
    for (int q = 1; q <= kChannels; ++q)
        file += q == 3 ? "3\r\n" : "-1\r\n";
    const QList<int> read = chartlayout::decode(file, kChannels);

    ChartSlots charts;
    charts.build(kChannels);
    EXPECT_EQ(charts.restore(&read), 1) << "the tick writes the file once";
    charts.finishBuild();
    QList<int> expected(kChannels, -1);
    expected[2] = 3;
    EXPECT_EQ(slotsOf(charts), expected) << "channel 3 alone, in slot 3, the area above it empty";
    EXPECT_TRUE(charts.ticked(3));
    EXPECT_EQ(charts.nextSlot(), 2);
    EXPECT_EQ(charts.savedLayout(), read) << "the restore writes back what it read";

    // Slots that collide or leave gaps are taken as they stand.
    QList<int> colliding(kChannels, 0);
    colliding[0] = 2;
    colliding[4] = 2;
    colliding[6] = 7;
    charts.build(kChannels);
    charts.restore(&colliding);
    charts.finishBuild();
    EXPECT_EQ(charts.slot(1), 2);
    EXPECT_EQ(charts.slot(5), 2);
    EXPECT_EQ(charts.slot(7), 7);
    EXPECT_EQ(charts.nextSlot(), 4);
}

TEST(ChartSlots, WithoutAFileTheNextConnectionGetsThePreviousLayoutBack) {
    ChartSlots charts;
    charts.build(kChannels);
    EXPECT_EQ(charts.restore(nullptr), 0) << "first connection of the run: nothing to restore";
    charts.finishBuild();
    charts.setTicked(4, true);
    charts.setTicked(8, true);
    charts.release();

    charts.build(kChannels);
    EXPECT_EQ(charts.slot(4), -1) << "fresh charts";
    charts.restore(nullptr);
    charts.finishBuild();
    EXPECT_EQ(charts.slot(4), 1);
    EXPECT_EQ(charts.slot(8), 2);
    EXPECT_EQ(charts.nextSlot(), 3);

    // A protocol with fewer channels keeps the lines of the channels it does not have.
    charts.release();
    charts.build(6);
    charts.restore(nullptr);
    charts.finishBuild();
    EXPECT_EQ(charts.savedLayout(), (QList<int>{-1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1}));
    charts.setTicked(4, false);
    charts.release();
    charts.build(kChannels);
    charts.restore(nullptr);
    EXPECT_EQ(charts.slot(8), 2) << "channel 8 lies beyond the short protocol";
}

TEST(ChartLayoutFile, SlotLines) {
    struct Case {
        QByteArray line;
        int slot;
    };
    const Case cases[] = {
        {"5", 5},   {"-1", -1}, {"0", 0},     {"", -1},     {"12345", 123}, {"x", -1},
        {"1a", -1}, {" 7", 7},  {"-12", -12}, {"999", 999}, {"abc9", -1},
    };
    for (const Case &c : cases) {
        const QByteArray file = "Графики\r\n" + c.line + "\r\n";
        EXPECT_EQ(chartlayout::decode(file, 1), QList<int>{c.slot}) << c.line.constData();
    }
    EXPECT_EQ(chartlayout::decode("Графики\r\n4\r\n", 3), (QList<int>{4, -1, -1})) << "lines missing at the end";
    EXPECT_EQ(chartlayout::decode("", 2), (QList<int>{-1, -1}));
}

TEST(ChartLayoutFile, WrittenInWindows1251WithCrLfAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(chartlayout::kFileName);
    EXPECT_FALSE(chartlayout::read(path, 3).has_value());

    ASSERT_EQ(chartlayout::write(path, {2, -1, 0}), QString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), cp1251::encode(QStringLiteral("Графики")) + "\r\n2\r\n-1\r\n0\r\n");
    EXPECT_EQ(chartlayout::read(path, 3), (QList<int>{2, -1, 0}));
}
