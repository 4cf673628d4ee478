#include "ecu/KwpFrame.h"
#include "Hex.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

using korvel::test::hex;

QByteArray dataOfLength(int length) {
    QByteArray data;
    for (int i = 0; i < length; ++i)
        data.append(static_cast<char>(i + 1));
    return data;
}

} // namespace

TEST(KwpFrame, BuildsTheHeaderFormByDataLength) {
    struct Case {
        int length;
        QByteArray header;
    };
    const Case cases[] = {
        {1, hex("8110F1")}, {16, hex("9010F1")}, {17, hex("8010F111")}, {69, hex("8010F145")}, // a 64-byte memory write
    };
    for (const Case &c : cases) {
        const QByteArray data = dataOfLength(c.length);
        const QByteArray frame = KwpFrame::build(data);
        SCOPED_TRACE(c.length);
        EXPECT_EQ(frame.left(c.header.size()), c.header);
        EXPECT_EQ(frame.size(), c.header.size() + c.length + 1);
        EXPECT_EQ(frame.mid(c.header.size(), c.length), data);
        EXPECT_EQ(static_cast<quint8>(frame.back()), KwpFrame::checksum(frame.chopped(1)));
    }
}

TEST(KwpFrame, BuildsTheSessionAndDiagnosticRequestsByteForByte) {
    EXPECT_EQ(KwpFrame::build(hex("81")), hex("8110F18103"));
    EXPECT_EQ(KwpFrame::build(hex("2101")), hex("8210F12101A5"));
    EXPECT_EQ(KwpFrame::build(hex("210F")), hex("8210F1210FB3"));
}

TEST(KwpFrame, ParsesBothHeaderFormsAndRejectsBrokenFrames) {
    struct Case {
        const char *name;
        QByteArray bytes;
        QByteArray data;
    };
    const Case cases[] = {
        {"short header", hex("83F110C16B8F3F"), hex("C16B8F")},
        {"length byte", hex("80F11003C16B8F3F"), hex("C16B8F")},
        {"trailing bytes ignored", hex("81F110C244AABB"), hex("C2")},
        {"bad checksum", hex("83F110C16B8F40"), {}},
        {"bad checksum, length byte", hex("80F11003C16B8F3E"), {}},
        {"truncated data", hex("83F110C16B"), {}},
        {"no checksum byte", hex("83F110C16B8F"), {}},
        {"length byte missing", hex("80F110"), {}},
        {"nothing", {}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KwpFrame::parse(c.bytes), c.data) << c.name;
}

TEST(KwpFrame, ReadsBackWhatItBuilds) {
    for (int length : {1, 2, 16, 17, 63, 69, 200}) {
        const QByteArray data = dataOfLength(length);
        EXPECT_EQ(KwpFrame::parse(KwpFrame::build(data)), data) << length;
    }
}

TEST(KwpFrame, ShowsBytesAsUppercaseHexOrNull) {
    EXPECT_EQ(hexText(hex("7f10120a")), "7F10120A");
    EXPECT_EQ(hexText(QByteArray()), "null");
}
