#include "live/StatisticsModel.h"
#include "live/FrameLayout.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace korvel;

TEST(StatisticsModel, OneRowPerChannelUnderTheFiveTitles) {
    StatisticsModel model;
    EXPECT_EQ(model.rowCount(), 0) << "no rows before a protocol is connected";
    EXPECT_EQ(model.columnCount(), 5);
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles.append(model.headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(titles, (QStringList{"Time", "Мин.", "Ср.", "Макс.", ""}));

    QSignalSpy reset(&model, &StatisticsModel::modelReset);
    model.setChannels(channelNames(Protocol::Fast));
    EXPECT_EQ(reset.size(), 1);
    ASSERT_EQ(model.rowCount(), 56);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Температура охлаждающей жидкости");
    EXPECT_EQ(model.data(model.index(55, 0)).toString(), channelNames(Protocol::Fast).last());
    for (int c = 1; c < 5; ++c)
        EXPECT_FALSE(model.data(model.index(1, c)).isValid()) << "nothing fills column " << c;

    model.setChannels(channelNames(Protocol::Standard));
    EXPECT_EQ(reset.size(), 2);
    EXPECT_EQ(model.rowCount(), 36) << "the rows start again for the other protocol";
    EXPECT_EQ(model.channels(), channelNames(Protocol::Standard));
}
