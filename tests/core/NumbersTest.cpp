#include "core/Numbers.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(Numbers, RoundsHalvesToEven) {
    const std::pair<double, double> cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},   {-0.5, -0},
                                               {-1.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (auto [in, out] : cases)
        EXPECT_EQ(roundHalfEven(in), out) << in;
    EXPECT_DOUBLE_EQ(roundTo(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundTo(0.0125, 3), 0.012);
}

TEST(Numbers, ShortestDecimalReadsBack) {
    const std::pair<double, const char *> cases[] = {{14.7, "14.7"},     {3.0, "3"},
                                                     {-0.125, "-0.125"}, {0.1 + 0.2, "0.30000000000000004"},
                                                     {-0.0, "0"},        {1e6, "1000000"}};
    for (auto [in, out] : cases)
        EXPECT_EQ(shortestDecimal(in), QString::fromLatin1(out)) << in;
    EXPECT_EQ(fixedDecimal(2.5, 2), "2.50");
}
