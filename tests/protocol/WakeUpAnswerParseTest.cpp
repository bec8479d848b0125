#include "protocol/WakeUpAnswerParse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tallix {
namespace {

bool Parse(const std::string& text, WakeUpAnswer& out, bool requireSequence = true) {
    return ParseWakeUpAnswer(reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int>(text.size()), requireSequence, out);
}

TEST(WakeUpAnswerParse, TenCharacterSerialFillsAllTenBytes) {
    WakeUpAnswer answer;
    ASSERT_TRUE(Parse("AB12345678;17;\r", answer));
    EXPECT_EQ(std::string(answer.serialNumber, 10), "AB12345678");
    EXPECT_EQ(answer.sequence, 17);
}

TEST(WakeUpAnswerParse, LongSerialIsCutAndShortOneZeroFilled) {
    WakeUpAnswer answer;
    std::memset(answer.serialNumber, 'x', sizeof answer.serialNumber);
    ASSERT_TRUE(Parse("ABC;5;extra;\r", answer));
    EXPECT_EQ(std::string(answer.serialNumber, 10), std::string("ABC\0\0\0\0\0\0\0", 10));
    ASSERT_TRUE(Parse("ABCDEFGHIJKLMN;-42;\r", answer));
    EXPECT_EQ(std::string(answer.serialNumber, 10), "ABCDEFGHIJ");
    EXPECT_EQ(answer.sequence, -42);
}

TEST(WakeUpAnswerParse, MissingSequenceFailsOnlyWhenRequired) {
    WakeUpAnswer answer;
    answer.sequence = 99;
    EXPECT_FALSE(Parse("AB12345678;17\r", answer));
    EXPECT_TRUE(Parse("AB12345678;17\r", answer, false));
    EXPECT_EQ(answer.sequence, 99);
    EXPECT_FALSE(Parse("AB12345678\r", answer));
    EXPECT_FALSE(Parse("AB12345678\r", answer, false));
}

TEST(WakeUpAnswerParse, FieldsEndAtTheFirstZeroByte) {
    WakeUpAnswer answer;
    EXPECT_FALSE(Parse(std::string("AB\0;1;\r", 7), answer));
    EXPECT_FALSE(Parse(std::string("AB;1\0;\r", 7), answer));
}

TEST(WakeUpAnswerParse, SequenceFieldKeepsTwentyBytesAndLow32Bits) {
    WakeUpAnswer answer;
    ASSERT_TRUE(Parse("S; 4294967297;\r", answer));
    EXPECT_EQ(answer.sequence, 1);
    // Only 20 bytes of the field are read: the 21st digit is not part of the number.
    ASSERT_TRUE(Parse("S;000000000000000000019;\r", answer));
    EXPECT_EQ(answer.sequence, 1);
    ASSERT_TRUE(Parse("S;;\r", answer));
    EXPECT_EQ(answer.sequence, 0);
}

TEST(WakeUpAnswerParse, TimedOutBytesAreJustText) {
    // Read time-outs stand in the text as 0xFF; they are field content like any byte.
    WakeUpAnswer answer;
    ASSERT_TRUE(Parse("\xFF\xFFSN;3;\r", answer));
    EXPECT_EQ(std::string(answer.serialNumber, 4), "\xFF\xFFSN");
    EXPECT_EQ(answer.sequence, 3);
}

}  // namespace
}  // namespace tallix
