#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "protocol/Windows1250.h"

namespace tallix {
namespace {

// One conversion through glibc iconv; nothing when iconv refuses the input.
std::optional<std::string> Iconv(const char* to, const char* from, const std::string& input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv_open " << from << " -> " << to;
        return std::nullopt;
    }
    std::string in = input;
    char out[16] = {};
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out;
    size_t outLeft = sizeof out;
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    return std::string(out, sizeof out - outLeft);
}

TEST(Windows1250, EveryDefinedByteMatchesIconvBothWays) {
    int defined = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const auto reference = Iconv("UTF-8", "CP1250", byte);
        const std::string ours = DecodeWindows1250(byte);
        if (!reference) {
            // Undefined in the code page: the byte decodes to the C1 control of its value.
            EXPECT_EQ(ours, Iconv("UTF-8", "ISO-8859-1", byte).value()) << "byte " << b;
            EXPECT_EQ(EncodeWindows1250(ours), byte) << "byte " << b;
            continue;
        }
        ++defined;
        EXPECT_EQ(ours, *reference) << "decode of byte " << b;
        EXPECT_EQ(EncodeWindows1250(*reference), byte) << "encode of byte " << b;
        EXPECT_EQ(Iconv("CP1250", "UTF-8", ours), byte) << "iconv encode of byte " << b;
    }
    EXPECT_EQ(defined, 251);
}

TEST(Windows1250, ExactEncodingRefusesWhatTheCodePageLacks) {
    EXPECT_EQ(EncodeWindows1250(""), "");
    EXPECT_EQ(EncodeWindows1250("P\xC3\xA2ine 1 kg"), "P\xE2ine 1 kg");
    EXPECT_EQ(EncodeWindows1250("\xE2\x82\xAC"), "\x80");  // euro sign
    EXPECT_FALSE(EncodeWindows1250("\xC8\x99"));           // s with comma below
    EXPECT_FALSE(EncodeWindows1250("ok \xE4\xB8\xAD"));    // CJK
    EXPECT_FALSE(EncodeWindows1250("\xF0\x9F\x98\x80"));   // emoji
    EXPECT_FALSE(EncodeWindows1250("\xC3"));               // cut sequence
    EXPECT_FALSE(EncodeWindows1250("\xC0\xAE"));           // overlong
    EXPECT_FALSE(EncodeWindows1250("\xED\xA0\x80"));       // surrogate
    EXPECT_FALSE(EncodeWindows1250("\xFF"));
}

TEST(Windows1250, LossyEncodingKeepsRomanianLettersAndMarksTheRest) {
    // Ș ș Ț ț become Ş ş Ţ ţ.
    EXPECT_EQ(EncodeWindows1250Lossy("\xC8\x98\xC8\x99\xC8\x9A\xC8\x9B"), "\xAA\xBA\xDE\xFE");
    EXPECT_EQ(EncodeWindows1250Lossy("a\xE4\xB8\xAD"
                                     "b\xF0\x9F\x98\x80"
                                     "c"),
              "a?b?c");
    // Each broken sequence is one "?", and what follows it is kept.
    EXPECT_EQ(EncodeWindows1250Lossy("x\xC3"
                                     "y\xE2\x82"
                                     "z\xFF"),
              "x?y?z?");
    EXPECT_EQ(EncodeWindows1250Lossy("\xC4\x8D\xC5\x99"), "\xE8\xF8");  // č ř exist
}

}  // namespace
}  // namespace tallix
