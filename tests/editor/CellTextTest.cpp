#include "editor/CellText.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvel;

// Numbers typed or pasted by a user: a comma or a point before the decimals;
// a text that groups thousands is refused rather than read a thousand times too large.
TEST(CellText, ReadsACommaAsTheDecimalSeparatorAndRefusesGrouping) {
    const std::pair<const char *, double> read[] = {
        {"1,016", 1.016}, {"0,125", 0.125}, {"-2,5", -2.5}, {" 3,75 ", 3.75},
        {"1.016", 1.016}, {"1e3", 1000},    {"7", 7},       {"-0", 0},
    };
    for (const auto &[text, value] : read) {
        const Outcome<double> v = StrToFloat(QString::fromUtf8(text));
        ASSERT_TRUE(v.ok()) << text;
        EXPECT_DOUBLE_EQ(v.value(), value) << text;
    }
    for (const char *text : {"1,016.5", "1.016,5", "1,000,000", "1 016", "", "abc", "1,,2", "inf", "nan", "2,5e"}) {
        const Outcome<double> v = StrToFloat(QString::fromUtf8(text));
        EXPECT_FALSE(v.ok()) << text;
    }
    EXPECT_TRUE(StrToFloat(QStringLiteral("1,000.5")).error().contains(QStringLiteral("разделитель разрядов")));
}
