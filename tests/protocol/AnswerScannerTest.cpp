// Counting the printer's wake-up answers among the bytes read from the line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/AnswerScanner.h"
#include "tests/protocol/RawPrinter.h"

namespace tallix {
namespace {

using test::Bytes;

// The printer's answer frame: LF, text, CR, checksum (spoiled when goodChecksum is false).
Bytes Answer(const std::string& text, bool goodChecksum = true) {
    return test::RawPrinter::AnswerFrame(text, goodChecksum);
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

// Only an answer with a valid checksum is an answer: a spoiled one, or noise shaped like an
// answer, would make an older answer look like a newer one.
TEST(AnswerScanner, SpoiledAnswersNoiseAndPartsDoNotCount) {
    AnswerScanner scanner;
    for (int i = 0; i < 10; ++i) {
        scanner.requestWritten();
    }
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;", false)), 0);
    EXPECT_FALSE(scanner.answerEnded());
    EXPECT_EQ(Feed(scanner, Answer("TX00000001;7;")), 1);
    EXPECT_TRUE(scanner.answerEnded());
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
    EXPECT_EQ(scanner.unanswered(), 7);
}

// A 0x06 between frames acknowledges a command frame; one inside an answer does not.
TEST(AnswerScanner, AckOnlyOutsideFrames) {
    AnswerScanner scanner;
    scanner.feed(0x06);
    EXPECT_TRUE(scanner.ackSeen());
    scanner.feed(0xFF);
    EXPECT_FALSE(scanner.ackSeen());
    const Bytes frame{0x0A, 0x06, 'A', 0x0D, 0x06, 0x06};
    for (const uint8_t byte : frame) {
        scanner.feed(byte);
        EXPECT_FALSE(scanner.ackSeen());
    }
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
