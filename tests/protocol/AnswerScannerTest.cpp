// Counting the printer's wake-up answers among the bytes read from the line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/AnswerScanner.h"
#include "protocol/Checksum.h"

namespace tallix {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Answer(const std::string& text, bool goodChecksum = true) {
    Bytes frame;
    frame.reserve(text.size() + 4);
    frame.push_back(0x0A);
    for (const char c : text) {
        frame.push_back(static_cast<uint8_t>(c));
    }
    frame.push_back(0x0D);
    uint16_t crc = CalculateCrC(frame.data() + 1, static_cast<int>(frame.size()) - 1);
    crc ^= goodChecksum ? 0 : 0x5AA5;
    frame.push_back(HIBYTE(crc));
    frame.push_back(LOBYTE(crc));
    return frame;
}

// Feeds the bytes and gives the ordinal each byte completed (0 for none), last byte only.
int64_t Feed(AnswerScanner& scanner, const Bytes& bytes) {
    scanner.feed(bytes.data(), static_cast<int>(bytes.size()));
    return scanner.completedAnswer();
}

TEST(AnswerScanner, CountsAnswersAsTheyEndInTheOrderOfTheRequests) {
    AnswerScanner scanner;
    scanner.requestWritten();
    scanner.requestWritten();
    const Bytes first = Answer("TX00000001;7;");
    scanner.feed(first.data(), static_cast<int>(first.size()) - 1);
    EXPECT_EQ(scanner.completedAnswer(), 0) << "not before its last checksum byte";
    scanner.feed(first.back());
    EXPECT_EQ(scanner.completedAnswer(), 1);
    scanner.feed(0x06);
    EXPECT_EQ(scanner.completedAnswer(), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;-8;")), 2);
    EXPECT_EQ(scanner.answers(), 2);
    EXPECT_TRUE(AnswerScanner::GivenAfter(2, 1));
    EXPECT_FALSE(AnswerScanner::GivenAfter(2, 2));
}

TEST(AnswerScanner, ASpoiledChecksumStillCountsNoiseAndPartsDoNot) {
    AnswerScanner scanner;
    for (int i = 0; i < 10; ++i) {
        scanner.requestWritten();
    }
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;", false)), 1);
    // Fill bytes, ACKs, noise before the LF, a stray LF before the real one.
    EXPECT_EQ(Feed(scanner, Bytes{0xFF, 0x06, '?', '?', 0x0A, 'x'}), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;8;")), 2);
    // Not of an answer's form, whatever the checksum says.
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;17")), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;1x;")), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;;")), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX0000\x01;9;")), 0);
    // A text without CR within 254 bytes is no frame; the answer after it is.
    EXPECT_EQ(Feed(scanner, Bytes(1, 0x0A)), 0);
    EXPECT_EQ(Feed(scanner, Bytes(300, 'A')), 0);
    EXPECT_EQ(Feed(scanner, Bytes{';', '1', ';', 0x0D, 0, 0}), 0);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;9;")), 3);
}

TEST(AnswerScanner, NoMoreAnswersThanRequests) {
    AnswerScanner scanner;
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;")), 0);
    scanner.requestWritten();
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;")), 1);
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;")), 0);
    EXPECT_EQ(scanner.answers(), 1);
}

}  // namespace
}  // namespace tallix
