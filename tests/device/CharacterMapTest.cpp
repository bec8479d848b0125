#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "device/CharacterMap.h"
#include "protocol/TextConversion.h"

namespace tallix {
namespace {

// The printer bytes for text, read up to the first zero as the link does.
std::vector<uint8_t> Printer(const std::string& text, int destinationLen = 300) {
    std::vector<uint8_t> destination(301, 0);
    MacToChill(text, kEncodingWindows1250, VX37ROCharacterMap().data(), destination.data(),
               destinationLen);
    std::vector<uint8_t> bytes;
    for (const uint8_t b : destination) {
        if (b == 0) {
            break;
        }
        bytes.push_back(b);
    }
    return bytes;
}

TEST(VX37ROCharacterMap, PrinterGetsOnlySpaceToUnderscore) {
    const auto& map = VX37ROCharacterMap();
    for (int i = 0; i < 256; ++i) {
        EXPECT_GE(map[i], 0x20) << i;
        EXPECT_LE(map[i], 0x5F) << i;
    }
    for (int i = 0x20; i <= 0x5A; ++i) {
        EXPECT_EQ(map[i], i);
    }
    for (int i = 0x5B; i <= 0x5F; ++i) {
        EXPECT_EQ(map[i], 0x20) << i;
    }
    EXPECT_EQ(map[0x60], 0x40);
    for (int i = 0x61; i <= 0x7A; ++i) {
        EXPECT_EQ(map[i], i - 0x20);
    }
    // Exactly ten bytes of the upper range are Romanian letters; all else there is space.
    int letters = 0;
    for (int i = 0x7B; i <= 0xFF; ++i) {
        letters += map[i] != 0x20 ? 1 : 0;
    }
    EXPECT_EQ(letters, 10);
    EXPECT_EQ(map[0x00], 0x20);
    EXPECT_EQ(map[0x1F], 0x20);
}

TEST(VX37ROMacToChill, RomanianTextReachesThePrinterAsItsLetters) {
    EXPECT_EQ(Printer("P\xC3\xA2ine 1 kg"),
              (std::vector<uint8_t>{0x50, 0x5C, 0x49, 0x4E, 0x45, 0x20, 0x31, 0x20, 0x4B, 0x47}));
    // ă Ă â Â î Î ş Ş ţ Ţ, then the comma-below forms ș Ș ț Ț.
    EXPECT_EQ(Printer("\xC4\x83\xC4\x82\xC3\xA2\xC3\x82\xC3\xAE\xC3\x8E"
                      "\xC5\x9F\xC5\x9E\xC5\xA3\xC5\xA2"
                      "\xC8\x99\xC8\x98\xC8\x9B\xC8\x9A"),
              (std::vector<uint8_t>{0x5B, 0x5B, 0x5C, 0x5C, 0x5D, 0x5D, 0x5E, 0x5E, 0x5F, 0x5F,
                                    0x5E, 0x5E, 0x5F, 0x5F}));
}

TEST(VX37ROMacToChill, OtherCharactersBecomeSpacesOrSigns) {
    EXPECT_EQ(Printer("caf\xC3\xA9"), (std::vector<uint8_t>{'C', 'A', 'F', ' '}));  // é
    EXPECT_EQ(Printer("a\tb"), (std::vector<uint8_t>{'A', ' ', 'B'}));
    EXPECT_EQ(Printer("x;y"), (std::vector<uint8_t>{'X', ';', 'Y'}));  // not escaped
    EXPECT_EQ(Printer("[a]`"), (std::vector<uint8_t>{' ', 'A', ' ', '@'}));
    EXPECT_EQ(Printer("\xE4\xB8\xAD"), (std::vector<uint8_t>{'?'}));  // lacking: "?"
    // Bytes the code page leaves undefined come from the command file as U+0081 and so on.
    EXPECT_EQ(Printer("a\xC2\x81"
                      "b"),
              (std::vector<uint8_t>{'A', ' ', 'B'}));
}

TEST(VX37ROMacToChill, LongTextIsCutTo254AndToTheDestination) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    const auto all = Printer(text);
    ASSERT_EQ(all.size(), 254U);
    EXPECT_EQ(all[0], 'A');
    EXPECT_EQ(all[253], 'A' + 253 % 26);
    EXPECT_EQ(Printer(text, 37).size(), 37U);
    EXPECT_EQ(Printer("P\xC3\xA2ine", 2), (std::vector<uint8_t>{0x50, 0x5C}));
}

}  // namespace
}  // namespace tallix
