#include "device/CommandText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace tallix {
namespace {

std::string Fixed(double value, int decimals) {
    return CommandText().fixed(value, decimals).finish().value_or("<none>");
}

TEST(CommandText, RoundsTheStoredBinaryValue) {
    EXPECT_EQ(Fixed(2.675, 2), "2.67");  // stored just below the midpoint
    EXPECT_EQ(Fixed(0.125, 2), "0.12");  // exact midpoint: ties to even
    EXPECT_EQ(Fixed(0.375, 2), "0.38");
    EXPECT_EQ(Fixed(0.001, 2), "0.00");
    EXPECT_EQ(Fixed(1.0005, 3), "1.000");  // 1.000499999...
    EXPECT_EQ(Fixed(2.5, 2), "2.50");
    EXPECT_EQ(Fixed(1, 3), "1.000");
    EXPECT_EQ(Fixed(-3.456, 2), "-3.46");
    EXPECT_EQ(Fixed(1234567.891, 2), "1234567.89");
}

TEST(CommandText, IgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    // Romanian writes decimals with a comma; scripts/packages.txt installs the locale.
    ASSERT_NE(std::setlocale(LC_NUMERIC, "ro_RO.UTF-8"), nullptr) << "locales-all is missing";
    EXPECT_EQ(Fixed(1234.5, 2), "1234.50");
    (void)std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(CommandText, IntegersAndFields) {
    EXPECT_EQ(CommandText().text("E;").integer(-7).text(";").integer(2147483647).finish(),
              "E;-7;2147483647");
}

TEST(CommandText, NonFiniteNumbersSpoilTheText) {
    EXPECT_FALSE(CommandText().text("E;1;").fixed(std::nan(""), 2).finish());
    EXPECT_FALSE(CommandText().fixed(std::numeric_limits<double>::infinity(), 2).finish());
    EXPECT_FALSE(CommandText().fixed(-std::numeric_limits<double>::infinity(), 3).finish());
}

TEST(CommandText, LongestTextIs199Bytes) {
    EXPECT_TRUE(CommandText().text(std::string(199, 'A')).finish());
    EXPECT_FALSE(CommandText().text(std::string(200, 'A')).finish());
    // The largest double has 309 integer digits: formatted, but too long for a command.
    EXPECT_FALSE(CommandText().fixed(std::numeric_limits<double>::max(), 3).finish());
    EXPECT_TRUE(
        CommandText().fixed(std::numeric_limits<double>::max(), 3).finish(std::string::npos));
}

}  // namespace
}  // namespace tallix
