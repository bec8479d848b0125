#include "posix/Hex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "posix/WholeNumber.h"

namespace tallix {
namespace {

TEST(Hex, BytesAsText) {
    const std::vector<uint8_t> bytes = {0x0A, 0x41, 0x0D, 0xFF, 0x00};
    EXPECT_EQ(HexText(bytes, HexCase::kUpper, " "), "0A 41 0D FF 00");
    EXPECT_EQ(HexText(bytes, HexCase::kLower), "0a410dff00");
    EXPECT_EQ(HexText(std::string("\x80z", 2), HexCase::kLower, "-"), "80-7a");
    EXPECT_EQ(HexText(std::string(), HexCase::kUpper, " "), "");
}

TEST(Hex, DigitValues) {
    int digits = 0;
    for (int c = 0; c < 256; ++c) {
        const int value = HexDigitValue(static_cast<char>(c));
        EXPECT_GE(value, -1);
        EXPECT_LT(value, 16);
        digits += value >= 0 ? 1 : 0;
    }
    EXPECT_EQ(digits, 22);
    EXPECT_EQ(HexDigitValue('7'), 7);
    EXPECT_EQ(HexDigitValue('b'), 11);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
}

TEST(Hex, SixtyFourBitFieldsRoundTripAndNothingElseParses) {
    for (const uint64_t value :
         {uint64_t{0}, uint64_t{1}, uint64_t{0xDEADBEEF0BADF00D}, UINT64_MAX}) {
        const std::string text = LowerHex64(value);
        EXPECT_EQ(text.size(), 16U);
        EXPECT_EQ(ParseLowerHex64(text), value) << text;
    }
    EXPECT_EQ(LowerHex64(0xAB), "00000000000000ab");
    for (const char* bad : {"", "00000000000000AB", "000000000000000", "00000000000000000",
                            "000000000000000g", " 00000000000000a", "-000000000000001"}) {
        EXPECT_EQ(ParseLowerHex64(bad), std::nullopt) << bad;
    }
}

TEST(WholeNumber, OnlyTheWholeTextInRangeCounts) {
    EXPECT_EQ(ParseWholeNumber<int32_t>("-5"), -5);
    EXPECT_EQ(ParseWholeNumber<int32_t>("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseWholeNumber<uint64_t>("18446744073709551615"), UINT64_MAX);
    for (const char* bad : {"", "+5", " 5", "5 ", "5x", "0x10", "2147483648", "-", "1.0"}) {
        EXPECT_EQ(ParseWholeNumber<int32_t>(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseWholeNumber<uint64_t>("-1"), std::nullopt);
}

}  // namespace
}  // namespace tallix
