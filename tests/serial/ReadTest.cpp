// Timed reads from the receive buffer, against the master side of a pseudo-terminal.

#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::PtyPair;
using test::WaitFor;

class ReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    }

    // Bytes that arrived on the line and still wait in the driver (not yet in the buffer).
    int inDriver() const {
        int count = -1;
        return ioctl(port.fileDescriptor(), FIONREAD, &count) == 0 ? count : -1;
    }

    PtyPair pty;
    SerialManager port;
};

TEST_F(ReadTest, TimeOuts) {
    EXPECT_EQ(port.readByte(0), -1);
    EXPECT_EQ(port.readByte(0.2), -1) << "an empty line times out";

    // The slave was opened before the far end did anything; the line still works.
    ASSERT_TRUE(pty.send("abc"));
    EXPECT_EQ(port.readByte(5), 'a');
    // "b" and "c" came in the same read as "a": they wait in the buffer now.
    uint8_t dst[4] = {};
    EXPECT_EQ(port.read(dst, 4, 0), 0) << "a time-out of 0 takes nothing";
    EXPECT_EQ(port.readByte(0), -1);
    EXPECT_EQ(port.readByte(5), 'b');
    EXPECT_EQ(port.read(dst, 1, 5), 1);
    EXPECT_EQ(dst[0], 'c');
}

TEST_F(ReadTest, ReadBufferedTakesWhatIsThereWithoutWaiting) {
    uint8_t dst[8] = {};
    EXPECT_EQ(port.readBuffered(dst, 8), 0) << "an empty buffer gives nothing at once";
    ASSERT_TRUE(pty.send("xyz"));
    EXPECT_EQ(port.readByte(5), 'x');
    // "y" and "z" came with "x"; they are taken, in order, and the buffer is empty after.
    EXPECT_EQ(port.readBuffered(dst, 1), 1);
    EXPECT_EQ(dst[0], 'y');
    EXPECT_EQ(port.readBuffered(dst, 8), 1);
    EXPECT_EQ(dst[0], 'z');
    EXPECT_EQ(port.readByte(0.05), -1);
}

TEST_F(ReadTest, StopCharacterEndsTheReadAndLeavesTheRest) {
    ASSERT_TRUE(pty.send("ab\ncd"));
    uint8_t dst[16] = {};
    ASSERT_EQ(port.read(dst, 16, '\n', 5), 3);
    EXPECT_EQ(std::string(dst, dst + 3), "ab\n");
    ASSERT_EQ(port.read(dst, 2, '\n', 5), 2);
    EXPECT_EQ(std::string(dst, dst + 2), "cd");

    // The stop character compares as an unsigned byte.
    ASSERT_TRUE(pty.send(std::vector<uint8_t>{0x01, 0xFF, 0x02}));
    ASSERT_EQ(port.read(dst, 16, 0xFF, 5), 2);
    EXPECT_EQ(dst[1], 0xFF);
    EXPECT_EQ(port.readByte(5), 0x02);
}

TEST_F(ReadTest, BurstsAreCollectedInOrderUpToTheMaximum) {
    std::thread farEnd([this] {
        pty.send("abc");
        // The second burst only after the reading thread has taken the first.
        WaitFor([this] { return inDriver() == 0; });
        pty.send("defgh");
    });
    uint8_t dst[8] = {};
    dst[5] = 'X';
    const int count = port.read(dst, 5, 5);
    farEnd.join();
    ASSERT_EQ(count, 5);
    EXPECT_EQ(std::string(dst, dst + 5), "abcde");
    EXPECT_EQ(dst[5], 'X') << "never more than the maximum count";
    ASSERT_EQ(port.read(dst, 3, 5), 3);
    EXPECT_EQ(std::string(dst, dst + 3), "fgh");
}

TEST_F(ReadTest, ClearDropsOnlyWhatWasBuffered) {
    ASSERT_TRUE(pty.send("old"));
    ASSERT_EQ(port.readByte(5), 'o');
    port.clear();
    EXPECT_EQ(port.readByte(0.05), -1);
    ASSERT_TRUE(pty.send("N"));
    EXPECT_EQ(port.readByte(5), 'N');
}

TEST_F(ReadTest, FullBufferLeavesBytesInTheDriverUntilATake) {
    constexpr int kSent = 1500;
    std::vector<uint8_t> sent(kSent);
    for (int i = 0; i < kSent; ++i) {
        sent[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    ASSERT_TRUE(pty.send(sent));
    // The reading thread fills the buffer and leaves the rest where it is.
    ASSERT_TRUE(WaitFor([this] { return inDriver() == kSent - SerialManager::kReadBufferSize; }))
        << "in driver: " << inDriver();

    std::vector<uint8_t> got(kSent);
    ASSERT_EQ(port.read(got.data(), 100, 5), 100);
    // Taking bytes must wake the reading thread for the rest: nothing is lost.
    ASSERT_EQ(port.read(got.data() + 100, kSent - 100, 5), kSent - 100);
    EXPECT_EQ(got, sent);
}

TEST_F(ReadTest, ClearOfAFullBufferLetsTheRestIn) {
    std::vector<uint8_t> sent(SerialManager::kReadBufferSize + 10, 'x');
    std::fill(sent.end() - 10, sent.end(), 'y');
    ASSERT_TRUE(pty.send(sent));
    ASSERT_TRUE(WaitFor([this] { return inDriver() == 10; }));
    port.clear();
    uint8_t dst[10] = {};
    ASSERT_EQ(port.read(dst, 10, 5), 10);
    EXPECT_EQ(std::string(dst, dst + 10), std::string(10, 'y'));
}

TEST_F(ReadTest, ReadLineTrimsControlCharacters) {
    ASSERT_TRUE(pty.send("\r OK 12\r\nnext"));
    EXPECT_EQ(port.readLine(5), std::optional<std::string>(" OK 12"));
    EXPECT_EQ(port.readLine(0.2), std::optional<std::string>("next"));
    EXPECT_EQ(port.readLine(0.05), std::nullopt);
}

}  // namespace
}  // namespace tallix
