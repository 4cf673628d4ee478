#include "firmware/Swid.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(Swid, MatchesTheJamcrcCheckValues) {
    const SwidCrc crc;
    EXPECT_EQ(crc.crc("123456789"), 0x340BC6D9U);
    EXPECT_EQ(crc.swid(QByteArray(224, '\0')), "C2DEA49C");
    EXPECT_EQ(crc.swid(QByteArray(300, '\0')), "C2DEA49C") << "only the first 224 bytes count";
    EXPECT_EQ(crc.swid(QByteArray(223, '\0')), QString());
}
