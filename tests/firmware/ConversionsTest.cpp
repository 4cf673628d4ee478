#include "firmware/Conversions.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <cstring>

using namespace korvel;

TEST(Conversions, HexToIntTakesUpperCaseHexOnly) {
    struct Case {
        QString text;
        bool ok;
        std::int64_t value;
    };
    const Case cases[] = {
        {"6DC8", true, 28104},
        {"", true, 0},
        {"00", true, 0},
        {"FF", true, 255},
        {"FFFFFFFF", true, 0xFFFFFFFFLL},
        {"5A3C96E1", true, 0x5A3C96E1LL},
        {"6dc8", false, 0},
        {"6DC8 ", false, 0},
        {" 6DC8", false, 0},
        {"G0", false, 0},
        {"-1", false, 0},
        {"$FF", false, 0},
        {"123456789", false, 0}, // nine digits
    };
    for (const Case &c : cases) {
        const Outcome<std::int64_t> r = HexToInt(c.text);
        EXPECT_EQ(r.ok(), c.ok) << c.text.toStdString();
        if (c.ok)
            EXPECT_EQ(r.value(), c.value) << c.text.toStdString();
        else
            EXPECT_EQ(r.error(), QStringLiteral("'%1' is not a valid integer value").arg(c.text));
    }
}

TEST(Conversions, IntToHexEvenPadsToAnEvenCount) {
    const std::pair<std::int64_t, const char *> cases[] = {
        {0, "00"},       {10, "0A"},       {255, "FF"},         {256, "0100"},
        {0xFFF, "0FFF"}, {0x6DC8, "6DC8"}, {0x12345, "012345"}, {-1, "FFFFFFFF"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(IntToHexEven(value), QString::fromLatin1(text)) << value;
    for (int v : {0, 7, 0x80, 0xFF, 0x6DC8})
        EXPECT_EQ(HexToInt(IntToHexEven(v)).value(), v);
}

TEST(Conversions, ByteToBitsPutsBitZeroFirst) {
    const std::array<bool, 8> twenty = {false, false, true, false, true, false, false, false};
    const std::array<bool, 8> five = {true, false, true, false, false, false, false, false};
    EXPECT_EQ(ByteToBits(20), twenty);
    EXPECT_EQ(ByteToBits(5), five);
    EXPECT_EQ(ByteToBits(0x1FF), ByteToBits(0xFF)) << "only the low byte counts";
}

TEST(Conversions, DecodeMapTextPlacesTheCyrillicLetters) {
    EXPECT_EQ(DecodeMapText(QByteArrayView("\xC0\xEB\xF4")), QString::fromUtf8("Алф"));
    EXPECT_EQ(DecodeMapText(QByteArrayView("\xA8\xB8\xDF\xE0\xFF")), QString::fromUtf8("ЁёЯая"));
    EXPECT_EQ(DecodeMapText(QByteArrayView("\xB9")), QString(QChar(0x00B9))) << "other bytes stay Latin-1";
    EXPECT_EQ(DecodeMapText(QByteArrayView("UOZ 1")), QStringLiteral("UOZ 1"));
    EXPECT_EQ(DecodeMapText(QString::fromLatin1("\xC0\xEB\xF4")), QString::fromUtf8("Алф"));
}

TEST(Conversions, MapNumbersAreLittleEndianAndBoundsChecked) {
    QByteArray map(16, '\0');
    qToLittleEndian<quint32>(0x5A3C96E1U ^ 0x00006DC8U, map.data() + 2);
    const double d = 14.7;
    quint64 bits = 0;
    std::memcpy(&bits, &d, sizeof d);
    qToLittleEndian<quint64>(bits, map.data() + 8);

    EXPECT_EQ(ReadMapDword(map, 2, true).value(), 0x6DC8U);
    EXPECT_EQ(ReadMapDword(map, 2, false).value(), 0x5A3C96E1U ^ 0x6DC8U);
    EXPECT_EQ(ReadMapDouble(map, 8).value(), 14.7);
    EXPECT_TRUE(ReadMapDword(map, 12, false).ok());
    EXPECT_FALSE(ReadMapDword(map, 13, false).ok());
    EXPECT_FALSE(ReadMapDword(map, -1, false).ok());
    EXPECT_FALSE(ReadMapDouble(map, 9).ok());
    EXPECT_FALSE(ReadMapDouble(QByteArray(), 0).ok());
}
