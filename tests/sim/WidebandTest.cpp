#include "sim/Wideband.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel::sim;

namespace {

// The reader's arithmetic for an Innovate packet: L from the fourth and fifth bytes.
double innovateAfr(const QByteArray &packet) {
    const int l = ((packet[4] & 0x7F) * 128) + (packet[5] & 0x7F);
    return std::round((l / 1000.0 + 0.5) * 14.7 * 100) / 100;
}

} // namespace

TEST(Wideband, TypesCarryTheirNamesAndRates) {
    struct Case {
        const char *name;
        WidebandType type;
        int baud;
    };
    const Case cases[] = {{"Innovate", WidebandType::Innovate, 19200},
                          {"AEM", WidebandType::Aem, 9600},
                          {"Korvel", WidebandType::Korvel, 9600},
                          {"ALC-1", WidebandType::Alc1, 9600},
                          {"APSX", WidebandType::Apsx, 9600}};
    for (const Case &c : cases) {
        EXPECT_EQ(widebandTypeFromName(QString::fromLatin1(c.name)), c.type);
        EXPECT_EQ(widebandTypeName(c.type), QString::fromLatin1(c.name));
        EXPECT_EQ(widebandProfile(c.type).baud, c.baud);
    }
    EXPECT_EQ(widebandTypeFromName(QStringLiteral("none")), WidebandType::None);
    EXPECT_FALSE(widebandTypeFromName(QStringLiteral("LC-2")));
    EXPECT_DOUBLE_EQ(widebandProfile(WidebandType::Innovate).intervalMs, 81.92);
}

TEST(Wideband, InnovatePacketsFollowTheMtsLayout) {
    // lambda 1.0: L = 500 = 0b11 1110100; function 000; AF = 147 = 1 0010011
    EXPECT_EQ(encodeWidebandMessage(WidebandType::Innovate, 14.7, WidebandStatus::Valid),
              QByteArray::fromHex("B282431303"
                                  "74"));
    // warming up: function 100, L = heater progress in 0.1 %
    EXPECT_EQ(encodeWidebandMessage(WidebandType::Innovate, 14.7, WidebandStatus::WarmingUp, 0.25),
              QByteArray::fromHex("B282531301"
                                  "7A"));
    // error: function 110
    EXPECT_EQ(encodeWidebandMessage(WidebandType::Innovate, 14.7, WidebandStatus::Error).mid(2, 1),
              QByteArray::fromHex("5B"));
    for (double afr : {10.5, 12.8, 14.7, 16.2, 22.0})
        EXPECT_NEAR(innovateAfr(encodeWidebandMessage(WidebandType::Innovate, afr, WidebandStatus::Valid)), afr, 0.015)
            << afr;
    EXPECT_EQ(innovateLambdaWord(3.0), 0);
    EXPECT_EQ(innovateLambdaWord(1000.0), 0x1FFF);
}

TEST(Wideband, AsciiAndByteTypesWriteTheRatio) {
    struct Case {
        WidebandType type;
        double afr;
        QByteArray message;
    };
    const Case cases[] = {
        {WidebandType::Aem, 14.7, "14.7\r"},
        {WidebandType::Aem, 9.85, "9.85\r"},
        {WidebandType::Korvel, 14.7, "14.70\r"},
        {WidebandType::Korvel, 9.85, "9.850\r"},
        {WidebandType::Alc1, 14.7,
         "\xAA"
         "14.7"},
        {WidebandType::Apsx, 14.7, QByteArray(1, char(147))},
    };
    for (const Case &c : cases)
        EXPECT_EQ(encodeWidebandMessage(c.type, c.afr, WidebandStatus::Valid), c.message) << c.message.constData();
    // Until their sensor is ready these types send nothing.
    EXPECT_TRUE(encodeWidebandMessage(WidebandType::Aem, 14.7, WidebandStatus::WarmingUp).isEmpty());
    EXPECT_TRUE(encodeWidebandMessage(WidebandType::Apsx, 14.7, WidebandStatus::Error).isEmpty());
}
