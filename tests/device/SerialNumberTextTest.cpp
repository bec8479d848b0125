#include "device/SerialNumberText.h"
#include "protocol/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tallix {
namespace {

std::string FromBytes(const std::string& bytes) {
    char serial[kSerialNumberLength] = {};
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), sizeof serial), serial);
    return SerialNumberText(serial);
}

TEST(SerialNumberText, TakesBytesUpToZeroOrAllTen) {
    EXPECT_EQ(FromBytes("AB12"), "AB12");
    EXPECT_EQ(FromBytes("AB12345678"), "AB12345678");
    EXPECT_EQ(FromBytes(std::string("AB\0CD", 5)), "AB");
    EXPECT_EQ(FromBytes(""), "");
}

TEST(SerialNumberText, ValidUtf8StaysAsItIs) {
    EXPECT_EQ(FromBytes("\xC8\x9B"
                        "AB"),
              "\xC8\x9B"
              "AB");  // U+021B
}

TEST(SerialNumberText, OtherBytesAreReadAsWindows1250) {
    EXPECT_EQ(FromBytes("A\xAA"
                        "1"),
              "A\xC5\x9E"
              "1");  // 0xAA is S with cedilla
    // A multi-byte sequence cut by the tenth byte is not valid UTF-8 either.
    EXPECT_EQ(FromBytes("ABCDEFGHI\xC8"), "ABCDEFGHI\xC4\x8C");  // 0xC8 is C with caron
}

TEST(SerialNumberText, Utf8Validity) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\x80"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
}

}  // namespace
}  // namespace tallix
