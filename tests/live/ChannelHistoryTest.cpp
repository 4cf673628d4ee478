#include "live/ChannelHistory.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(ChannelHistory, WindowLengthFollowsThePosition) {
    struct Case {
        int position;
        int points;
    };
    const Case cases[] = {{0, 262}, {20, 62}, {26, 2}, {27, 0}, {36, 0}};
    ChannelHistory history;
    history.reset(2);
    QList<float> drawn{1, 2, 3};
    for (const Case &c : cases) {
        EXPECT_EQ(ChannelHistory::windowSize(c.position), c.points) << "position " << c.position;
        history.advance(1, c.position, drawn);
        EXPECT_EQ(drawn.size(), c.points) << "position " << c.position;
    }
}

TEST(ChannelHistory, CurrentSampleEntersTheWindowOneFrameLater) {
    ChannelHistory history;
    history.reset(3);
    QList<float> drawn;
    history.setCurrent(2, 7.5f);
    history.advance(2, 26, drawn);
    EXPECT_EQ(drawn, (QList<float>{0, 0})) << "the current sample is not drawn yet";

    history.setCurrent(2, 8.f);
    history.advance(2, 26, drawn);
    EXPECT_EQ(drawn, (QList<float>{0, 7.5f}));
    history.setCurrent(2, 9.f);
    history.advance(2, 26, drawn);
    EXPECT_EQ(drawn, (QList<float>{7.5f, 8.f})) << "oldest first";
    EXPECT_EQ(history.current(2), 9.f) << "the current sample stays until the decoder writes the next";

    history.advance(1, 26, drawn);
    EXPECT_EQ(drawn, (QList<float>{0, 0})) << "channels keep their own samples";
}

TEST(ChannelHistory, SamplesBelowTheWindowKeepTheirValues) {
    ChannelHistory history;
    history.reset(1);
    QList<float> drawn;
    // Three frames at the longest window: the values sit at 998..1000.
    for (float v : {1.f, 2.f, 3.f}) {
        history.setCurrent(1, v);
        history.advance(1, 0, drawn);
    }
    EXPECT_EQ(history.sample(1, 1000), 3.f);
    EXPECT_EQ(history.sample(1, 998), 1.f);

    // A shorter window (start 999) moves only samples 999 and 1000.
    for (int i = 0; i < 4; ++i)
        history.advance(1, 26, drawn);
    EXPECT_EQ(history.sample(1, 998), 1.f) << "below the window nothing moves";
    EXPECT_EQ(history.sample(1, 999), 3.f);

    // Lengthened again, the old value comes back into view as it was.
    history.advance(1, 25, drawn);
    ASSERT_EQ(drawn.size(), 12);
    EXPECT_EQ(drawn.at(9), 1.f);
}

TEST(ChannelHistory, ValueTextHasAtMostThreeDecimals) {
    struct Case {
        float value;
        const char *text;
    };
    const Case cases[] = {{1.23456f, "1.235"}, {14.7f, "14.7"}, {3000.f, "3000"},
                          {-0.0004f, "0"},     {-2.5f, "-2.5"}, {0.1f, "0.1"}};
    for (const Case &c : cases)
        EXPECT_EQ(chartValueText(c.value), QString::fromLatin1(c.text)) << c.value;
}
