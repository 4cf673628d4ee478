#include "live/FrameDecoder.h"
#include "Frames.h"
#include "live/FrameLayout.h"

#include <gtest/gtest.h>

#include <set>

using namespace korvel;
using korvel::test::fastFrame;
using korvel::test::standardFrame;

namespace {

struct Decoded {
    LiveParameters p;
    LiveChannels channels;
};

Decoded decode(const QByteArray &frame, const DecodeInputs &in = {}) {
    Decoded d;
    EXPECT_TRUE(decodeFrame(frame, in, d.p, d.channels).has_value());
    return d;
}

struct ValueCase {
    const char *what;
    QByteArray frame;
    double LiveParameters::*field;
    double expected;
    int channel; // 0: not checked
};

} // namespace

TEST(FrameDecoder, DecodesTheFastLayout) {
    const ValueCase cases[] = {
        {"throttle", fastFrame({{11, 50}}), &LiveParameters::throttle, 50, 7},
        {"rpm", fastFrame({{12, 75}}), &LiveParameters::rpm, 3000, 8},
        {"coolant", fastFrame({{8, 130}}), &LiveParameters::coolantTemp, 90, 2},
        {"afr low", fastFrame({{9, 0}}), &LiveParameters::afrEcu, 7.35, 3},
        {"afr stoich", fastFrame({{9, 128}}), &LiveParameters::afrEcu, 14.7, 3},
        {"afr high, 2199.26 rounds down", fastFrame({{9, 255}}), &LiveParameters::afrEcu, 21.99, 3},
        {"afr 1102.5 rounds to even", fastFrame({{9, 64}}), &LiveParameters::afrEcu, 11.02, 3},
        {"ignition signed", fastFrame({{20, 0xF6}}), &LiveParameters::ignition, -5, 15},
        {"rco signed", fastFrame({{10, 0x80}}), &LiveParameters::rco, -0.5, 13},
        {"phase signed", fastFrame({{19, 0xFF}}), &LiveParameters::injPhase, -3, 14},
        {"adc rco signed", fastFrame({{28, 0xFE}}), &LiveParameters::adcRco, -2, 23},
        {"octane signed", fastFrame({{34, 0xF0}}), &LiveParameters::octaneCorr, -8, 28},
        {"cycle time little-endian", fastFrame({{14, 0x34}, {15, 0x12}}), &LiveParameters::cycleTime, 0x1234, 10},
        {"idle rpm x40", fastFrame({{13, 20}}), &LiveParameters::idleRpm, 800, 9},
        {"air temp", fastFrame({{37, 60}}), &LiveParameters::airTemp, 20, 31},
        {"o2 change, half rounded up", fastFrame({{32, 3}}), &LiveParameters::adcO2Change, 2 * 0.01953125, 27},
        {"o2, 255 halves to 128", fastFrame({{38, 255}}), &LiveParameters::adcO2, 2.5, 32},
        {"gtc lean", fastFrame({{41, 0x00}, {42, 0x01}}), &LiveParameters::gtcLean, 1.0, 34},
        {"injection pulse", fastFrame({{43, 0xF4}, {44, 0x01}}), &LiveParameters::injPulse, 4.0, 35},
        {"fuel per hour", fastFrame({{49, 100}}), &LiveParameters::fuelPerHour, 2.0, 38},
    };
    for (const ValueCase &c : cases) {
        const Decoded d = decode(c.frame);
        EXPECT_DOUBLE_EQ(d.p.*c.field, c.expected) << c.what;
        EXPECT_FLOAT_EQ(d.channels.value(c.channel), static_cast<float>(c.expected)) << c.what;
    }
    EXPECT_DOUBLE_EQ(decode(fastFrame({{23, 0x05}})).p.ignitionCorr[2], 2.5) << "cylinder 3";
}

TEST(FrameDecoder, DecodesTheStandardLayout) {
    const ValueCase cases[] = {
        {"coolant", standardFrame({{8, 130}}), &LiveParameters::coolantTemp, 90, 1},
        {"afr", standardFrame({{9, 255}}), &LiveParameters::afrEcu, 21.99, 0},
        {"throttle", standardFrame({{10, 50}}), &LiveParameters::throttle, 50, 3},
        {"rpm", standardFrame({{11, 75}}), &LiveParameters::rpm, 3000, 4},
        {"idle rpm x10", standardFrame({{12, 80}}), &LiveParameters::idleRpm, 800, 5},
        {"ignition signed", standardFrame({{16, 0xF6}}), &LiveParameters::ignition, -5, 9},
        {"battery", standardFrame({{18, 154}}), &LiveParameters::batteryU, 154 * 0.05 + 5.2, 11},
        {"o2", standardFrame({{20, 205}}), &LiveParameters::adcO2, 205 * 0.0048828125, 13},
        {"fuel per distance", standardFrame({{30, 0x00}, {31, 0x02}}), &LiveParameters::fuelPerDistance, 4.0, 18},
    };
    for (const ValueCase &c : cases) {
        const Decoded d = decode(c.frame);
        EXPECT_DOUBLE_EQ(d.p.*c.field, c.expected) << c.what;
        if (c.channel > 0) {
            EXPECT_FLOAT_EQ(d.channels.value(c.channel), static_cast<float>(c.expected)) << c.what;
        }
    }
}

TEST(FrameDecoder, DerivesInjectorLoad) {
    const Decoded fast = decode(fastFrame({{12, 75}, {43, 0xF4}, {44, 0x01}}));
    EXPECT_DOUBLE_EQ(fast.p.injectorLoad, 10.0);
    EXPECT_FLOAT_EQ(fast.channels.value(39), 10.0F);
    const Decoded standard = decode(standardFrame({{11, 75}, {22, 0xF4}, {23, 0x01}}));
    EXPECT_DOUBLE_EQ(standard.p.injectorLoad, 10.0);
    EXPECT_FLOAT_EQ(standard.channels.value(19), 10.0F);
    // 1440 rpm × 0.896 ms / 1200 = 1.0752: one decimal kept.
    EXPECT_DOUBLE_EQ(decode(fastFrame({{12, 36}, {43, 112}})).p.injectorLoad, 1.1);
}

TEST(FrameDecoder, WidebandRatioReplacesTheEcuCorrection) {
    DecodeInputs in;
    in.lambdaAfr = 16.17;
    const Decoded fast = decode(fastFrame({{9, 128}, {18, 100}}), in);
    EXPECT_DOUBLE_EQ(fast.p.afrWideband, 16.17);
    EXPECT_DOUBLE_EQ(fast.p.injCorrection, 16.17 / 14.7);
    EXPECT_FLOAT_EQ(fast.channels.value(4), 16.17F);
    EXPECT_FLOAT_EQ(fast.channels.value(6), 1.1F) << "rounded to three decimals";
    EXPECT_FALSE(fast.p.narrowband);

    in.lambdaAfr = 14.7 * 0.98765;
    const Decoded standard = decode(standardFrame({{9, 128}}), in);
    EXPECT_FLOAT_EQ(standard.channels.value(2), 14.52F) << "ratio rounded to two decimals";
    EXPECT_FLOAT_EQ(standard.channels.value(8), 0.988F);
}

TEST(FrameDecoder, NarrowbandSensorKeepsTheEcuCorrection) {
    DecodeInputs in;
    in.narrowbandSensor = true;
    in.lambdaAfr = 16.0; // ignored
    const Decoded fast = decode(fastFrame({{9, 128}, {18, 0x81}}), in);
    EXPECT_TRUE(fast.p.narrowband);
    EXPECT_DOUBLE_EQ(fast.p.afrWideband, 0);
    EXPECT_FLOAT_EQ(fast.channels.value(4), 0.0F);
    EXPECT_DOUBLE_EQ(fast.p.injCorrection, 257 / 256.0);
    EXPECT_FLOAT_EQ(fast.channels.value(6), 1.004F);

    const Decoded standard = decode(standardFrame({{9, 255}}), in);
    EXPECT_DOUBLE_EQ(standard.p.afrWideband, 21.99) << "the ECU's ratio stands in";
    EXPECT_FLOAT_EQ(standard.channels.value(2), 21.99F);
}

TEST(FrameDecoder, PressureUsesTheSensorConstants) {
    DecodeInputs in;
    in.pressureSensor = {true, 2.0, 0.5};
    const Decoded d = decode(fastFrame({{26, 128}}), in); // (2.5 V + 0.5) × 2 = 6 kPa
    EXPECT_FLOAT_EQ(d.p.pressure, 60.0F) << "tenths of a kPa";
    EXPECT_FLOAT_EQ(d.channels.value(5), 6.0F) << "whole kPa";

    EXPECT_FLOAT_EQ(decode(fastFrame({{26, 128}})).p.pressure, 0.0F) << "no firmware image, no pressure";

    Decoded kept = decode(fastFrame({{26, 128}}), in);
    ASSERT_TRUE(decodeFrame(standardFrame(), in, kept.p, kept.channels));
    EXPECT_FLOAT_EQ(kept.p.pressure, 60.0F) << "the standard protocol keeps the last pressure";
}

TEST(FrameDecoder, SplitsFlagBytesIntoFlagChannels) {
    // Fast: idle (flag 2), knock (flag 13), oxygen sensor ready and heating (16, 17); bit 0 of byte 1 unused.
    const Decoded fast = decode(fastFrame({{0, 0x02}, {1, 0x21}, {33, 0x03}}));
    for (int flag = 1; flag <= kFlagCount; ++flag) {
        const int expected = (flag == 2 || flag == 13 || flag == 16 || flag == 17) ? 1 : 0;
        EXPECT_EQ(fast.p.flag(flag), expected) << "flag " << flag;
        EXPECT_FLOAT_EQ(fast.channels.value(39 + flag), static_cast<float>(expected)) << "flag " << flag;
    }
    const Decoded standard = decode(standardFrame({{2, 0x80}, {3, 0x20}, {21, 0x02}}));
    EXPECT_EQ(standard.p.flag(8), 1);
    EXPECT_EQ(standard.p.flag(kKnockFlag), 1);
    EXPECT_EQ(standard.p.flag(17), 1);
    EXPECT_FLOAT_EQ(standard.channels.value(27), 1.0F);
    EXPECT_FLOAT_EQ(standard.channels.value(32), 1.0F);
    EXPECT_FLOAT_EQ(standard.channels.value(36), 1.0F);
    EXPECT_FLOAT_EQ(standard.channels.value(20), 0.0F);
}

TEST(FrameDecoder, FrameOfAnyOtherLengthChangesNothing) {
    DecodeInputs in;
    in.lambdaAfr = 15.0;
    Decoded d = decode(fastFrame({{11, 50}, {12, 75}, {8, 130}}), in);
    const LiveParameters before = d.p;
    const LiveChannels channelsBefore = d.channels;
    for (const QByteArray &frame : {QByteArray(52, '\x7F'), QByteArray(), QByteArray(35, '\x7F')}) {
        EXPECT_FALSE(decodeFrame(frame, in, d.p, d.channels).has_value()) << frame.size();
        EXPECT_EQ(d.p.rpm, before.rpm);
        EXPECT_EQ(d.p.throttle, before.throttle);
        EXPECT_EQ(d.p.coolantTemp, before.coolantTemp);
        for (int channel = 1; channel <= kMaxChannelCount; ++channel)
            EXPECT_EQ(d.channels.value(channel), channelsBefore.value(channel)) << channel;
    }
}

// The layouts are walked by the decoder and name the channels of every log and chart.
TEST(FrameLayout, NumbersEveryChannelOnceWithinTheFrame) {
    for (Protocol protocol : {Protocol::Fast, Protocol::Standard}) {
        std::set<int> channels;
        std::set<int> bytes;
        for (const LayoutRow &row : frameLayout(protocol)) {
            if (row.channel > 0) {
                EXPECT_TRUE(channels.insert(row.channel).second) << "channel " << row.channel;
            }
            if (row.byte == LayoutRow::kDerived)
                continue;
            const int width = row.type == ByteType::U16 ? 2 : 1;
            for (int b = row.byte; b < row.byte + width; ++b) {
                EXPECT_LT(b, frameLength(protocol));
                EXPECT_TRUE(bytes.insert(b).second) << "byte " << b;
            }
        }
        EXPECT_EQ(static_cast<int>(channels.size()), channelCount(protocol) - kFlagCount);
        EXPECT_EQ(*channels.rbegin(), channelCount(protocol) - kFlagCount);
    }
}

TEST(FrameLayout, NamesTheChannelsOfEachProtocol) {
    const QStringList &fast = channelNames(Protocol::Fast);
    ASSERT_EQ(fast.size(), 56);
    EXPECT_EQ(fast[0], "Рабочая точка RPM_GBC_3D");
    EXPECT_EQ(fast[3], "AFR LC-1");
    EXPECT_EQ(fast[4], "Давление");
    EXPECT_EQ(fast[38], "Загрузка форсунок");
    EXPECT_EQ(fast[39], "признак выключения двигателя");
    EXPECT_EQ(fast[55], "флаг разрешения нагрева датчика кислород");
    const QStringList &standard = channelNames(Protocol::Standard);
    ASSERT_EQ(standard.size(), 36);
    EXPECT_EQ(standard[0], "Температура охлаждающей жидкости");
    EXPECT_EQ(standard[1], "Соотношение воздух/топливо");
    EXPECT_EQ(standard[17], "Путевой расход топлива");
    EXPECT_EQ(standard[18], "Загрузка форсунок");
    EXPECT_EQ(standard[19], "признак выключения двигателя");
    for (const QStringList *names : {&fast, &standard})
        for (const QString &name : *names)
            EXPECT_FALSE(name.isEmpty());
}
