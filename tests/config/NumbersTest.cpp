// Numbers at the start of texts: options, command fields and preferences read them alike,
// whatever the locale.

#include "config/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace tallix {
namespace {

TEST(ParseLeadingInt, LeadingNumberOfText) {
    EXPECT_EQ(ParseLeadingInt("9600"), 9600);
    EXPECT_EQ(ParseLeadingInt("  \t-12abc"), -12);
    EXPECT_EQ(ParseLeadingInt("+7"), 7);
    EXPECT_EQ(ParseLeadingInt("19200 baud"), 19200);
    EXPECT_EQ(ParseLeadingInt("3.9"), 3);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt("-"), 0);
    EXPECT_EQ(ParseLeadingInt("- 5"), 0);
    EXPECT_EQ(ParseLeadingInt("0x1F"), 0);
    EXPECT_EQ(ParseLeadingInt("\xC2\xA0"
                              "5"),
              0);  // no-break space is not a blank
}

// Text that ParseLeadingInt reads as 0 without a 0 in it gives nothing here.
TEST(LeadingInt, OnlyWrittenDigitsGiveANumber) {
    EXPECT_EQ(LeadingInt(" \t+0"), std::optional<int32_t>(0));
    EXPECT_EQ(LeadingInt("-0"), std::optional<int32_t>(0));
    EXPECT_EQ(LeadingInt("2abc"), std::optional<int32_t>(2));
    EXPECT_EQ(LeadingInt("007"), std::optional<int32_t>(7));
    EXPECT_EQ(LeadingInt("-99999999999"), std::optional<int32_t>(INT32_MIN));
    for (const char* none : {"", "   ", "X", "x2", "-", "+ 2", "0x2", "0X2", "-0x0",
                             "\xC2\xA0"
                             "2"}) {
        EXPECT_EQ(LeadingInt(none), std::nullopt) << none;
        EXPECT_EQ(ParseLeadingInt(none), 0) << none;
    }
}

TEST(ParseLeadingInt, SaturatesAtThirtyTwoBitLimits) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(ParseLeadingInt("2147483647"), kMax);
    EXPECT_EQ(ParseLeadingInt("2147483648"), kMax);
    EXPECT_EQ(ParseLeadingInt("-2147483648"), kMin);
    EXPECT_EQ(ParseLeadingInt("-2147483649"), kMin);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999999999"), kMax);
    EXPECT_EQ(ParseLeadingInt("-99999999999999999999999999"), kMin);
}

TEST(ParseLeadingDecimal, PlainDecimalsWhateverFollows) {
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("10.00"), 10.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("  -12.5xyz"), -12.5);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("+3"), 3.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("5."), 5.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("2,50"), 2.0);  // "," is no decimal separator
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1.2.3"), 1.2);
    EXPECT_EQ(ParseLeadingDecimal("99.99"), 99.99);
}

TEST(ParseLeadingDecimal, NoNumberGivesZero) {
    for (const char* text : {"", "   ", ".", "-", "+.", "abc", "inf", "-inf", "INFINITY", "nan",
                             "NaN(1)", "e5", "--1", "- 1"}) {
        EXPECT_EQ(ParseLeadingDecimal(text), 0.0) << text;
        EXPECT_FALSE(std::signbit(ParseLeadingDecimal(text))) << text;
    }
    EXPECT_FALSE(std::signbit(ParseLeadingDecimal("-0.00")));
    // Hexadecimal: the leading "0" is the number.
    EXPECT_EQ(ParseLeadingDecimal("0x1A"), 0.0);
    EXPECT_EQ(ParseLeadingDecimal("0x1p3"), 0.0);
}

TEST(ParseLeadingDecimal, ExponentsCountLikeAnyLeadingNumberParse) {
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("2.5E-2"), 0.025);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1e-05"), 0.00001);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1e"), 1.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1e+"), 1.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1ex"), 1.0);
    EXPECT_EQ(ParseLeadingDecimal("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseLeadingDecimal("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseLeadingDecimal("1e-400"), 0.0);
    EXPECT_EQ(ParseLeadingDecimal("0e99999"), 0.0);
    EXPECT_EQ(ParseLeadingDecimal("0.0001e-99999999999"), 0.0);
    EXPECT_EQ(ParseLeadingDecimal("1" + std::string(400, '0') + "e-1"),
              std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace tallix
