#include "lambda/WidebandParsers.h"
#include "lambda/WidebandValue.h"

#include "../ecu/QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

std::vector<double> values(const WidebandReadings &readings) {
    std::vector<double> out;
    for (const WidebandReading &reading : readings)
        out.push_back(reading.afr_float);
    return out;
}

// Feeds the stream byte by byte and in one piece; both must give the same values.
std::vector<double> feed(const QString &type, const QByteArray &stream) {
    const WidebandType *kind = widebandType(type);
    EXPECT_NE(kind, nullptr) << type.toStdString();
    if (!kind)
        return {};
    WidebandState whole;
    const std::vector<double> atOnce = values(kind->parse(whole, stream, kind->valueLength));
    WidebandState split;
    std::vector<double> byByte;
    for (char byte : stream)
        for (double v : values(kind->parse(split, QByteArrayView(&byte, 1), kind->valueLength)))
            byByte.push_back(v);
    EXPECT_EQ(atOnce, byByte) << "values must not depend on how the reads cut the stream";
    return atOnce;
}

// An Innovate packet: sync B2 82, then b0 with the function bits F2..F0 at
// bits 4 to 2, b1, and the 13-bit word in b2 (high 6 bits) and b3 (low 7 bits).
QByteArray innovatePacket(int function, int word) {
    QByteArray packet = hex("B282");
    packet.append(static_cast<char>(0x80 | 0x02 | (function << 2)));
    packet.append(static_cast<char>(0x13));
    packet.append(static_cast<char>((word >> 7) & 0x7F));
    packet.append(static_cast<char>(word & 0x7F));
    return packet;
}

} // namespace

TEST(WidebandParsers, NamesTheFiveControllerTypesWithTheirLineRates) {
    struct Case {
        const char *name;
        int baud;
        int length;
    };
    for (const Case &c : {Case{"Innovate", 19200, 6}, Case{"AEM", 9600, 4}, Case{"Korvel", 9600, 5},
                          Case{"ALC-1", 9600, 4}, Case{"APSX", 9600, 4}}) {
        const WidebandType *type = widebandType(c.name);
        ASSERT_NE(type, nullptr) << c.name;
        EXPECT_EQ(type->baud, c.baud) << c.name;
        EXPECT_EQ(type->valueLength, c.length) << c.name;
    }
    EXPECT_EQ(widebandType("aem"), nullptr) << "types are compared exactly";
    EXPECT_EQ(widebandType("УДК"), nullptr);
}

TEST(WidebandParsers, ReadsAsciiValuesEndedByCarriageReturn) {
    struct Case {
        const char *name;
        const char *type;
        QByteArray stream;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"AEM CR", "AEM", "14.7\r14.8\r", {14.7, 14.8}},
        {"AEM CR LF", "AEM", "14.7\r\n14.8\r\n13.1\r\n", {14.7, 14.8, 13.1}},
        {"AEM 16 bytes without CR", "AEM", "14.714.714.714.7", {}},
        {"AEM after a wrap", "AEM", "14.714.714.714.7\r15.2\r", {15.2}},
        {"AEM not a number", "AEM", "ab.c\r14.9\r", {14.9}},
        {"AEM nan and inf", "AEM", " nan\rinf \r-INF\r14.9\r", {14.9}},
        {"AEM partial then whole", "AEM", ".7\r14.6\r", {14.6}},
        {"Korvel", "Korvel", "14.70\r\n12.05\r\n", {14.7, 12.05}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(feed(c.type, c.stream), c.values) << c.name;
}

TEST(WidebandParsers, KeepsTheTextOfAnAsciiValue) {
    WidebandState state;
    const WidebandReadings readings = parseAsciiCr(state, "\n09.5\r", 4);
    ASSERT_EQ(readings.size(), 1U);
    EXPECT_EQ(readings.front().afr, "09.5");
    EXPECT_DOUBLE_EQ(readings.front().afr_float, 9.5);
}

TEST(WidebandParsers, ConvertsTheInnovateLambdaWord) {
    EXPECT_DOUBLE_EQ(innovateAfr(11 * 128 + 76), 29.16);
    EXPECT_DOUBLE_EQ(innovateAfr(512), 14.88);
    EXPECT_DOUBLE_EQ(innovateAfr(500), 14.7);
    EXPECT_DOUBLE_EQ(innovateAfr(1539), 29.97);
    EXPECT_DOUBLE_EQ(innovateAfr(1540), 0);
    EXPECT_DOUBLE_EQ(innovateAfr(8191), 0);
}

TEST(WidebandParsers, ReadsInnovatePacketsAndOnlyTheirLambdaReadings) {
    struct Case {
        const char *name;
        QByteArray stream;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"b2 0x0B b3 0x4C", hex("B282820B") + hex("0B4C"), {29.16}},
        {"b2 0x04 b3 0x00", innovatePacket(0, 0x04 << 7), {14.88}},
        {"word 1540", innovatePacket(0, 1540), {0}},
        {"stream of packets",
         innovatePacket(0, 512) + innovatePacket(0, 500) + innovatePacket(0, 400),
         {14.88, 14.7, 13.23}},
        {"garbage before sync", hex("0102B2037F") + innovatePacket(0, 500), {14.7}},
        // Warm-up (F = 100) reports the heater progress in the same word: 50 % would read 14.7.
        {"warming up", innovatePacket(4, 500), {}},
        {"free air calibration", innovatePacket(2, 500), {}},
        {"calibration needed", innovatePacket(3, 500), {}},
        {"heater calibrating", innovatePacket(5, 500), {}},
        {"error code", innovatePacket(6, 9), {}},
        {"O2 level", innovatePacket(1, 209), {}},
        {"warm-up then lambda", innovatePacket(4, 500) + innovatePacket(4, 800) + innovatePacket(0, 512), {14.88}},
        {"packet across the buffer wrap", hex("0102030405060708090A0B0C") + innovatePacket(0, 512), {14.88}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(feed("Innovate", c.stream), c.values) << c.name;
}

TEST(WidebandParsers, ReadsAlc1AndApsxStreams) {
    EXPECT_EQ(feed("ALC-1", QByteArray("\xAA") + "14.7" + "\xAA" + "13.9"), (std::vector<double>{14.7, 13.9}));
    EXPECT_EQ(feed("ALC-1", QByteArray("14.7\xAA") + "x1.0" + "\xAA" + "15.1"), (std::vector<double>{15.1}));
    EXPECT_EQ(feed("ALC-1", QByteArray("0123456789AB\xAA") + "12.5"), (std::vector<double>{12.5}))
        << "a value across the buffer wrap";
    EXPECT_EQ(feed("ALC-1", QByteArray("\xAAnan\t\xAA") + "inf " + "\xAA" + "13.9"), (std::vector<double>{13.9}))
        << "nan and inf are no ratios";

    WidebandState state;
    EXPECT_EQ(values(parseApsx(state, QByteArray(1, static_cast<char>(147)))), (std::vector<double>{14.7}));
    EXPECT_EQ(values(parseApsx(state, hex("0A8C93"))), (std::vector<double>{14.7})) << "the last byte counts";
    EXPECT_TRUE(parseApsx(state, {}).empty());
}

TEST(WidebandValue, KeepsOnlyRatiosStrictlyBetweenSevenAndTwentyEight) {
    WidebandValue afr;
    EXPECT_EQ(afr.value(0), 0);
    EXPECT_TRUE(afr.offer(14.7, 0));
    for (double rejected : {7.0, 28.0, 29.16, 0.0, -3.0, 6.99})
        EXPECT_FALSE(afr.offer(rejected, 0)) << rejected;
    EXPECT_EQ(afr.value(0), 14.7);
    EXPECT_TRUE(afr.offer(7.01, 0));
    EXPECT_TRUE(afr.offer(27.99, 0));
    EXPECT_EQ(afr.value(0), 27.99);
}

// A controller that falls silent has no reading after a few of its own
// periods, as before its first value; tuning takes no sample from it.
TEST(WidebandValue, ASilentControllerHasNoReading) {
    struct Case {
        const char *what;
        int periodMs; // the controller's own period
        int silentMs; // since its last plausible value
        bool stillReading;
    } cases[] = {
        {"LC-1, one message late", 82, 160, true}, {"LC-1, silent for a second", 82, 1000, false},
        {"10 Hz, three periods", 100, 300, true},  {"10 Hz, six periods", 100, 600, false},
        {"1 Hz, two periods", 1000, 2000, true},   {"1 Hz, six periods", 1000, 6000, false},
    };
    for (const Case &c : cases) {
        WidebandValue afr;
        std::int64_t t = 1000;
        for (int i = 0; i < 40; ++i, t += c.periodMs)
            afr.offer(14.0 + i % 3 * 0.1, t);
        const std::int64_t last = t - c.periodMs;
        EXPECT_GT(afr.value(last), 7) << c.what;
        EXPECT_EQ(afr.value(last + c.silentMs) > 0, c.stillReading) << c.what;
    }

    // Out-of-range values are messages but no reading: the last one ages out.
    WidebandValue afr;
    for (std::int64_t t = 0; t < 1000; t += 100)
        afr.offer(14.7, t);
    for (std::int64_t t = 1000; t < 3000; t += 100)
        afr.offer(29.5, t);
    EXPECT_EQ(afr.value(3000), 0);
    afr.offer(14.2, 3000);
    EXPECT_EQ(afr.value(3050), 14.2) << "back as soon as it reads again";
}

// What the extended tuning is told about the controller: warming up before
// its first plausible value, a fault or a railed value as its last message,
// quiet after three of its periods without a new reading. Every case but the
// first two follows four seconds of plausible values at 10 Hz, so that the
// controller's period is learned.
TEST(WidebandValue, TheControllersStateForTuning) {
    struct Case {
        const char *what;
        bool learned;                // after the four seconds
        std::vector<double> offered; // one every 100 ms from 0
        std::int64_t atMs;
        WidebandStatus status;
        double afr;
    } cases[] = {
        {"nothing yet", false, {}, 500, WidebandStatus::WarmUp, 0},
        {"only railed values, then silent", false, {29.4, 29.4}, 5000, WidebandStatus::WarmUp, 0},
        {"fresh", true, {14.7, 14.6}, 100, WidebandStatus::Reading, 14.6},
        {"three periods late", true, {14.7, 14.6}, 400, WidebandStatus::Reading, 14.6},
        {"four periods late", true, {14.7, 14.6}, 500, WidebandStatus::Quiet, 0},
        {"a fault report", true, {14.7, 0.0}, 150, WidebandStatus::Error, 0},
        {"railed lean", true, {14.7, 29.4}, 150, WidebandStatus::OutOfRange, 0},
        {"railed, then silent", true, {14.7, 29.4}, 900, WidebandStatus::Quiet, 0},
        {"back after a fault", true, {14.7, 0.0, 14.2}, 200, WidebandStatus::Reading, 14.2},
    };
    for (const Case &c : cases) {
        WidebandValue afr;
        const std::int64_t start = c.learned ? 4000 : 0; // the case's 0
        for (std::int64_t t = 0; t < start; t += 100)
            afr.offer(14.5, t);
        std::int64_t t = start;
        for (double v : c.offered) {
            afr.offer(v, t);
            t += 100;
        }
        const WidebandSample s = afr.sample(start + c.atMs);
        EXPECT_EQ(s.status, c.status) << c.what;
        EXPECT_EQ(s.afr, c.afr) << c.what;
    }
}
