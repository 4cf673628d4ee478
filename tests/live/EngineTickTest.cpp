#include "live/EngineTick.h"
#include "Frames.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"

#include <gtest/gtest.h>

using namespace korvel;
using korvel::test::fastFrame;
using korvel::test::standardFrame;

namespace {

struct TickFixture : ::testing::Test {
    ControlBoard board;
    EngineTick tick{board};
    TickInputs inputs;

    TickFixture() {
        inputs.settings.showErrors = true;
        inputs.settings.showKnock = true;
        ErrorNameTable names;
        names[0][0] = QStringLiteral("Датчик детонации");
        tick.setErrorNames(names);
        tick.startConnection(Protocol::Fast);
    }
};

} // namespace

TEST_F(TickFixture, RunsThePerRequestStepsOncePerRequest) {
    const QByteArray frame = fastFrame({{11, 50}, {35, 60}});
    const std::pair<int, bool> numlogs[] = {{0, false}, {1, true}, {1, false}, {3, true}, {2, false}, {4, true}};
    int processed = 0;
    for (auto [numlog, fresh] : numlogs) {
        const TickOutcome outcome = tick.processFrame(frame, numlog, inputs);
        EXPECT_EQ(outcome.decoded, Protocol::Fast);
        EXPECT_EQ(outcome.newRequest, fresh) << "numlog " << numlog;
        processed += fresh ? 1 : 0;
        EXPECT_EQ(tick.processedFrames(), processed);
    }
    EXPECT_EQ(board.text(control::RazgonSpeed), "Скорость Авто:60");

    tick.startConnection(Protocol::Fast); // the worker's counter restarts at 0
    EXPECT_TRUE(tick.processFrame(frame, 1, inputs).newRequest);
    EXPECT_EQ(tick.processedFrames(), 1);
}

TEST_F(TickFixture, LoadValueFollowsTheTuningAxisOnNewRequests) {
    inputs.pressureSensor = {true, 2.0, 0.5};
    const QByteArray frame = fastFrame({{11, 50}, {26, 128}});
    tick.processFrame(frame, 0, inputs);
    EXPECT_EQ(tick.parameters().loadValue, 0) << "set only with a new request";
    tick.processFrame(frame, 1, inputs);
    EXPECT_EQ(tick.parameters().loadValue, 50);
    inputs.settings.tuneByPressure = true;
    tick.processFrame(frame, 2, inputs);
    EXPECT_EQ(tick.parameters().loadValue, 60) << "tenths of a kPa";
}

TEST_F(TickFixture, BadFrameKeepsValuesAndDisplays) {
    tick.processFrame(fastFrame({{11, 50}, {12, 75}, {3, 0x01}, {1, 0x20}, {0, 0x02}}), 1, inputs);
    const QStringList names = board.names();
    QStringList texts;
    for (const QString &name : names)
        texts.append(board.text(name));
    const LiveChannels channels = tick.channels();

    int numlog = 1;
    for (const QByteArray &frame : {QByteArray(52, '\x33'), QByteArray()}) {
        const TickOutcome outcome = tick.processFrame(frame, ++numlog, inputs);
        EXPECT_FALSE(outcome.decoded.has_value());
        EXPECT_TRUE(outcome.newRequest) << "the request still counts, with the values decoded last";
        EXPECT_EQ(tick.parameters().rpm, 3000);
        for (int i = 0; i < names.size(); ++i)
            if (names[i] != control::RazgonSpeed) {
                EXPECT_EQ(board.text(names[i]), texts[i]) << names[i].toStdString();
            }
        for (int channel = 1; channel <= kFastChannelCount; ++channel)
            EXPECT_EQ(tick.channels().value(channel), channels.value(channel));
    }
    EXPECT_EQ(board.text(control::Label35), "Ошибок=1:|[Датчик детонации]| ");
    EXPECT_EQ(board.color(control::UOZlabel), control::kRed);
    EXPECT_TRUE(board.isVisible(control::Image1));
}

TEST_F(TickFixture, WorkPointReplacesChannelOneOfTheFastProtocol) {
    tick.processFrame(fastFrame({{7, 17}}), 1, inputs);
    EXPECT_EQ(tick.parameters().ecuWorkPoint, 17);
    EXPECT_EQ(tick.channels().value(1), 17.0F) << "the ECU's own until the grids compute one";
    tick.setWorkPoint(42);
    EXPECT_EQ(tick.channels().value(1), 42.0F);

    tick.startConnection(Protocol::Standard);
    tick.processFrame(standardFrame({{8, 130}}), 1, inputs);
    tick.setWorkPoint(42);
    EXPECT_EQ(tick.channels().value(1), 90.0F) << "channel 1 is the coolant in the standard protocol";
    EXPECT_EQ(tick.channelCount(), 36);
}

TEST_F(TickFixture, StandardFrameHasNoIdleIndicator) {
    board.setText(control::Labelxx, QStringLiteral("Холостой ход"));
    tick.processFrame(standardFrame({{3, 0x20}}), 1, inputs);
    EXPECT_EQ(board.text(control::Labelxx), "Холостой ход") << "kept";
    EXPECT_EQ(board.color(control::UOZlabel), control::kRed) << "knock from byte 3 bit 5";
}

TEST_F(TickFixture, NarrowbandIsClearedOnlyAtConnect) {
    inputs.settings.narrowbandSensor = true;
    tick.processFrame(fastFrame(), 1, inputs);
    inputs.settings.narrowbandSensor = false;
    tick.processFrame(fastFrame(), 2, inputs);
    EXPECT_TRUE(tick.parameters().narrowband);
    tick.startConnection(Protocol::Fast);
    EXPECT_FALSE(tick.parameters().narrowband);
}
