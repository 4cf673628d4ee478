#include "Hex.h"
#include "sim/SimFrame.h"
#include "sim/UartLine.h"

#include <gtest/gtest.h>

using namespace korvel::sim;

namespace {

using korvel::test::hex;

} // namespace

TEST(SimFrame, EncodesAnswersInBothHeaderForms) {
    struct Case {
        const char *data;
        HeaderForm form;
        const char *wire;
    };
    const Case cases[] = {
        {"C16B8F", HeaderForm::Short, "83F110C16B8F3F"}, // the captured answer to 81
        {"7E", HeaderForm::LengthByte, "80F110017E00"},
        {"7E", HeaderForm::Short, "81F1107E00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(encodeAnswerFrame(hex(c.data), c.form).toHex().toUpper(), QByteArray(c.wire)) << c.data;

    // Data longer than six bits can carry always get the length byte.
    const QByteArray long64 = encodeAnswerFrame(QByteArray(64, '\x01'), HeaderForm::Short);
    EXPECT_EQ(long64.left(4), hex("80F11040"));
    EXPECT_EQ(long64.size(), 4 + 64 + 1);
}

TEST(SimFrame, EncodesRequestsAsTheTesterDoes) {
    EXPECT_EQ(encodeRequestFrame(hex("81")), hex("8110F18103"));
    EXPECT_EQ(encodeRequestFrame(hex("2101")), hex("8210F12101A5"));
    EXPECT_EQ(encodeRequestFrame(QByteArray(16, '\0')).left(1), hex("90"));
    EXPECT_EQ(encodeRequestFrame(QByteArray(17, '\0')).left(4), hex("8010F111"));
}

TEST(SimFrame, HexTextIsUppercaseWithoutSeparatorsAndNullWhenEmpty) {
    EXPECT_EQ(hexText(hex("0a1bff")), QStringLiteral("0A1BFF"));
    EXPECT_EQ(hexText({}), QStringLiteral("null"));
}

TEST(RequestParser, FindsRequestsByTheGeneralRule) {
    RequestParser parser;
    // short form, then the same request with a separate length byte, split across appends
    parser.append(hex("8110F18103"
                      "8010F1"));
    auto first = parser.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data, hex("81"));
    EXPECT_FALSE(parser.next());
    parser.append(hex("018103"));
    auto second = parser.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->data, hex("81"));
    EXPECT_EQ(second->raw.size(), 6);
    EXPECT_EQ(parser.takeDiscarded(), QByteArray());
}

TEST(RequestParser, SkipsGarbageAndBadChecksumsAndForeignTargets) {
    struct Case {
        const char *name;
        QByteArray bytes;
        QByteArray expected; // data of the first request found, empty = none
    };
    const Case cases[] = {
        {"bad checksum", hex("8110F18104"), {}},
        {"garbage, then a request", hex("00FF55") + hex("8210F12101A5"), hex("2101")},
        {"an incomplete-looking byte before a good request", hex("80") + hex("8110F18103"), hex("81")},
        {"bad checksum, then a good one", hex("8110F18104") + hex("8110F18103"), hex("81")},
        {"addressed to another unit", hex("8111F18104"), {}},
        {"no address information", hex("0181") + hex("82"), {}},
    };
    for (const Case &c : cases) {
        RequestParser parser;
        parser.append(c.bytes);
        const auto frame = parser.next();
        EXPECT_EQ(frame ? frame->data : QByteArray(), c.expected) << c.name;
        EXPECT_FALSE(parser.next()) << c.name;
    }
}

// Written byte by byte, a write's data may hold a run that is a whole frame
// of its own (here one to another unit) before the write itself is complete.
TEST(RequestParser, ARequestStillArrivingIsNotCutByAFrameInsideItsData) {
    const QByteArray data = hex("3D009000058111F18104");
    const QByteArray request = encodeRequestFrame(data);
    RequestParser parser;
    std::optional<ParsedFrame> found;
    for (const char byte : request) {
        ASSERT_FALSE(found) << "taken before its last byte";
        parser.append(QByteArray(1, byte));
        found = parser.next();
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(found->data, data);
    EXPECT_EQ(parser.takeDiscarded(), QByteArray());
}

TEST(RequestParser, ReportsWhatItThrewAwayAndNeverGrowsWithoutBound) {
    RequestParser parser;
    parser.append(hex("8110F18104"));
    EXPECT_FALSE(parser.next());
    parser.clear(); // the line fell quiet
    EXPECT_EQ(parser.takeDiscarded(), hex("8110F18104"));
    EXPECT_EQ(parser.pending(), 0);
    // A length byte promising 255 bytes keeps them pending; a flood is cut.
    parser.append(hex("8010F1FF"));
    parser.append(QByteArray(1000, '\x11'));
    parser.next();
    EXPECT_LE(parser.pending(), 4 + 255 + 1);
}

TEST(UartLine, EqualRatesPassBytesUnchangedWithTheirTiming) {
    const QByteArray bytes = hex("8110F18103");
    const auto line = transmitOverLine(bytes, 10400, 10400);
    EXPECT_EQ(receivedBytes(line, {}), bytes);
    ASSERT_EQ(line.size(), 5U);
    EXPECT_DOUBLE_EQ(line.back().endBit, 50.0);
}

TEST(UartLine, AReceiverWithinAFewPercentStillReadsTheBytes) {
    const QByteArray bytes = hex("8010F1350102030405060708090A");
    EXPECT_EQ(receivedBytes(transmitOverLine(bytes, 57600, 57000), {}), bytes);
    EXPECT_EQ(receivedBytes(transmitOverLine(bytes, 10400, 10600), {}), bytes);
}

TEST(UartLine, OtherRatesGiveWhatAUartSamples) {
    // 0x55 at twice the receiver's rate: every second sender bit is sampled, all high.
    EXPECT_EQ(receivedBytes(transmitOverLine(hex("55"), 20800, 10400), {}), hex("FF"));
    // 0x00 at half the receiver's rate: a long low, read as a break.
    const auto slow = transmitOverLine(hex("00"), 5200, 10400);
    ASSERT_EQ(slow.size(), 1U);
    EXPECT_TRUE(slow[0].isBreak);
    // A request at the wrong K-line rate is never the same request.
    const QByteArray request = hex("8210F13E01C2");
    for (int receiver : {38400, 57600})
        EXPECT_NE(receivedBytes(transmitOverLine(request, 10400, receiver), {}), request) << receiver;
    EXPECT_NE(receivedBytes(transmitOverLine(request, 57600, 10400), {}), request);
    EXPECT_TRUE(transmitOverLine(request, 10400, 0).empty());
}

TEST(UartLine, ReceiverFlagsDecideWhatBecomesOfBadBytes) {
    const LineByte framingError{0x5A, true, false, 10};
    const LineByte lineBreak{0x00, true, true, 10};
    struct Case {
        const char *name;
        ReceiverInput input;
        QByteArray fromFramingError;
        QByteArray fromBreak;
    };
    const Case cases[] = {
        {"raw (no INPCK)", {}, hex("5A"), hex("00")},
        {"INPCK", {true, false, false, false}, hex("00"), hex("00")},
        {"INPCK IGNPAR IGNBRK", {true, true, false, true}, {}, {}},
        {"INPCK PARMRK", {true, false, true, false}, hex("FF005A"), hex("FF0000")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(receivedBytes({framingError}, c.input), c.fromFramingError) << c.name;
        EXPECT_EQ(receivedBytes({lineBreak}, c.input), c.fromBreak) << c.name;
    }
}
