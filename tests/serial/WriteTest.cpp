// Writing to the line, and the transparency of the line in both directions.

#include <termios.h>

#include <gtest/gtest.h>

#include <thread>

#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"

namespace tallix {
namespace {

using test::PtyPair;

class WriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    }
    PtyPair pty;
    SerialManager port;
};

TEST_F(WriteTest, EveryByteValuePassesUnchangedBothWays) {
    // Line ends, XON/XOFF, interrupt and end-of-file characters included.
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<uint8_t>(i);
    }
    ASSERT_EQ(port.write(all.data(), 256), 256);
    EXPECT_EQ(pty.receive(256), all);
    EXPECT_EQ(pty.receive(1, 0.05).size(), 0U) << "no echo, no added carriage return";

    ASSERT_TRUE(pty.send(all));
    std::vector<uint8_t> got(256);
    ASSERT_EQ(port.read(got.data(), 256, 5), 256);
    EXPECT_EQ(got, all);

    termios settings{};
    ASSERT_EQ(tcgetattr(port.fileDescriptor(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
}

TEST_F(WriteTest, LongWriteContinuesAfterPartialWrites) {
    // Far more than the pseudo-terminal holds, so the driver takes it in parts.
    std::vector<uint8_t> sent(300000);
    for (size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<uint8_t>(i % 251);
    }
    std::vector<uint8_t> received;
    std::thread farEnd([&] { received = pty.receive(sent.size(), 20); });
    EXPECT_EQ(port.write(sent.data(), static_cast<int>(sent.size())),
              static_cast<int>(sent.size()));
    farEnd.join();
    EXPECT_EQ(received, sent);
}

TEST_F(WriteTest, WriteGivesUpWhenTheFarEndNeverTakes) {
    std::vector<uint8_t> sent(1000000, 'w');
    const int written = port.write(sent.data(), static_cast<int>(sent.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(sent.size()));
}

TEST_F(WriteTest, StringWrites) {
    EXPECT_EQ(port.writeString("S;1\r"), 4);
    EXPECT_EQ(pty.receive(4), std::vector<uint8_t>({'S', ';', '1', '\r'}));

    // Characters that ASCII lacks become one "?" each.
    EXPECT_EQ(port.writeString("Ș\xC3\xA9x"), 3);
    EXPECT_EQ(pty.receive(3), std::vector<uint8_t>({'?', '?', 'x'}));

    // At most 511 characters go out.
    EXPECT_EQ(port.writeString(std::string(600, 'L')), 511);
    EXPECT_EQ(pty.receive(600, 0.5).size(), 511U);

    EXPECT_EQ(port.writeCString("abc"), 3);
    EXPECT_EQ(pty.receive(3), std::vector<uint8_t>({'a', 'b', 'c'}));
    EXPECT_EQ(port.writeCString(nullptr), 0);
}

}  // namespace
}  // namespace tallix
