#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/Checksum.h"
#include "protocol/Frame.h"

namespace tallix {
namespace {

uint16_t Crc(const std::string& text) {
    return CalculateCrC(reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<int>(text.size()));
}

TEST(Checksum, CheckValues) {
    EXPECT_EQ(Crc("abc"), 0xBC3C);
    EXPECT_EQ(Crc("123456789"), 0xA829);
    EXPECT_EQ(Crc(""), 0x0000);
    EXPECT_EQ(Crc("\r"), 0x8009);
    EXPECT_EQ(Crc("A;;;X;\r"), 0xC044);
    EXPECT_EQ(HIBYTE(0xC044), 0xC0);
    EXPECT_EQ(LOBYTE(0xC044), 0x44);
}

TEST(Frame, RequestFrameOfReportText) {
    const std::string text = "A;;;X;";
    const auto frame =
        BuildFrame(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    const std::vector<uint8_t> expected = {0x0A, 0x41, 0x3B, 0x3B, 0x3B,
                                           0x58, 0x3B, 0x0D, 0xC0, 0x44};
    EXPECT_EQ(frame, expected);
}

TEST(Frame, FrameIsTextPlusFourAndChecksumCoversTextAndCR) {
    for (const std::string& text :
         {std::string(), std::string("E;4;;;;;"), std::string(199, 'Z')}) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        const int n = static_cast<int>(text.size());
        const auto frame = BuildFrame(bytes, n);
        ASSERT_EQ(frame.size(), text.size() + 4);
        EXPECT_EQ(frame.front(), kLF);
        EXPECT_EQ(frame[n + 1], kCR);
        const uint16_t crc = CalculateCrC(frame.data() + 1, n + 1);
        EXPECT_EQ(frame[n + 2], HIBYTE(crc));
        EXPECT_EQ(frame[n + 3], LOBYTE(crc));
    }
}

TEST(Frame, SequenceFieldConversion) {
    EXPECT_EQ(SequenceFromText("17"), 17);
    EXPECT_EQ(SequenceFromText("  -42x"), -42);
    EXPECT_EQ(SequenceFromText("+7"), 7);
    EXPECT_EQ(SequenceFromText(""), 0);
    EXPECT_EQ(SequenceFromText("abc"), 0);
    EXPECT_EQ(SequenceFromText("4294967297"), 1);  // low 32 bits of 2^32 + 1
    EXPECT_EQ(SequenceFromText("2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace tallix
