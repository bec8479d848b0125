#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "protocol/TextConversion.h"

namespace tallix {
namespace {

// The identity map shows the code-page bytes themselves.
std::array<uint8_t, 256> IdentityMap() {
    std::array<uint8_t, 256> map{};
    for (int i = 0; i < 256; ++i) {
        map[i] = static_cast<uint8_t>(i);
    }
    return map;
}

std::string Chill(const std::string& text, int destinationLen, uint64_t codePage = 15) {
    const auto map = IdentityMap();
    std::array<uint8_t, 400> destination{};
    MacToChill(text, codePage, map.data(), destination.data(), destinationLen);
    return reinterpret_cast<const char*>(destination.data());
}

TEST(MacToChill, ExactThenLossyThroughTheMap) {
    EXPECT_EQ(Chill("A;b\xC3\xA2", 100), "A;b\xE2");
    EXPECT_EQ(Chill("\xC8\x99i \xE4\xB8\xAD", 100), "\xBAi ?");
    // The map is applied to every kept byte.
    std::array<uint8_t, 256> shifted = IdentityMap();
    shifted['a'] = 'Z';
    shifted['?'] = '#';
    std::array<uint8_t, 8> out{};
    MacToChill("a\xE4\xB8\xAD", kEncodingWindows1250, shifted.data(), out.data(), 7);
    EXPECT_STREQ(reinterpret_cast<const char*>(out.data()), "Z#");
}

TEST(MacToChill, KeepsAtMost254BytesAndAtMostTheDestination) {
    const std::string text(300, 'X');
    EXPECT_EQ(Chill(text, 400).size(), 254U);
    EXPECT_EQ(Chill(text, 10), std::string(10, 'X'));
    // The cut counts code-page bytes, not UTF-8 bytes, and applies after a lossy conversion.
    std::string circumflexes;
    for (int i = 0; i < 300; ++i) {
        circumflexes += "\xC3\xA2";
    }
    EXPECT_EQ(Chill(circumflexes, 400), std::string(254, '\xE2'));
    EXPECT_EQ(Chill(std::string(300, '\xC4'), 400), std::string(254, '?'));
}

TEST(MacToChill, WritesNothingBeyondTheConvertedBytes) {
    const auto map = IdentityMap();
    std::array<uint8_t, 8> out;
    out.fill(0xEE);
    MacToChill("AB", kEncodingWindows1250, map.data(), out.data(), 8);
    EXPECT_EQ(out[0], 'A');
    EXPECT_EQ(out[1], 'B');
    EXPECT_EQ(out[2], 0xEE);  // no terminator
    out.fill(0xEE);
    MacToChill("AB", kEncodingWindows1250, map.data(), out.data(), 0);
    MacToChill("", kEncodingWindows1250, map.data(), out.data(), 8);
    MacToChill("AB", 4 /* another code page */, map.data(), out.data(), 8);
    EXPECT_EQ(out[0], 0xEE);
}

// ChopField on a zero-terminated text, destination pre-filled with '.'.
struct Chopped {
    bool found;
    std::string destination;
};
Chopped Chop(int index, const std::string& source, int destinationLength = 10,
             int sourceLength = -1) {
    std::string dest(12, '.');
    const bool found = ChopField(index, reinterpret_cast<const uint8_t*>(source.c_str()),
                                 sourceLength < 0 ? static_cast<int>(source.size()) : sourceLength,
                                 reinterpret_cast<uint8_t*>(dest.data()), destinationLength);
    return {found, dest};
}

TEST(ChopField, FieldExistsOnlyWhenClosedBySeparator) {
    EXPECT_TRUE(Chop(0, "AB123456;42;").found);
    EXPECT_EQ(Chop(0, "AB123456;42;").destination, "AB123456....");
    EXPECT_EQ(Chop(1, "AB123456;42;").destination, "42..........");
    EXPECT_FALSE(Chop(2, "AB123456;42;").found);
    EXPECT_EQ(Chop(2, "AB123456;42;").destination, "............");
    EXPECT_FALSE(Chop(1, "AB123456;42").found);  // unterminated last field
    EXPECT_FALSE(Chop(0, "AB123456").found);
    EXPECT_FALSE(Chop(1, "AB123456").found);
    // An empty field exists and copies nothing.
    const Chopped empty = Chop(1, "A;;B;");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.destination, "............");
    EXPECT_TRUE(Chop(2, "A;;B;").found);
}

TEST(ChopField, CopiesAtMostTheDestinationWithoutTerminator) {
    const Chopped cut = Chop(0, "ABCDEFGHIJKL;", 10);
    EXPECT_TRUE(cut.found);
    EXPECT_EQ(cut.destination, "ABCDEFGHIJ..");
    EXPECT_EQ(Chop(0, "ABC;", 0).destination, "............");
    EXPECT_TRUE(Chop(0, "ABC;", 0).found);
}

TEST(ChopField, SourceLengthAndTerminatorBoundTheSearch) {
    // The closing ";" at position 3 lies within a length of 3 but not of 2.
    EXPECT_TRUE(Chop(0, "ABC;", 10, 3).found);
    EXPECT_FALSE(Chop(0, "ABC;", 10, 2).found);
    EXPECT_FALSE(Chop(1, "AB;CD;", 10, 4).found);
    // Nothing after the terminator counts.
    const char bytes[] = {'A', 'B', 0, ';', 'C', ';', 0};
    uint8_t dest[4] = {};
    EXPECT_FALSE(ChopField(0, reinterpret_cast<const uint8_t*>(bytes), 6, dest, 4));
    EXPECT_FALSE(Chop(-1, "A;").found);
}

}  // namespace
}  // namespace tallix
