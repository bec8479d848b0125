// The line trace: records of writes, arrivals and time-outs on a pseudo-terminal, from the
// caller's thread and the reading thread at once.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/LineTrace.h"
#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"

namespace tallix {
namespace {

using test::PtyPair;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Records (not header lines) whose tag is tag.
std::vector<std::string> Records(const std::string& path, const std::string& tag) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(ReadAll(path))) {
        std::istringstream fields(line);
        std::string ms;
        std::string lineTag;
        fields >> ms >> lineTag;
        if (!line.empty() && line[0] != '#' && lineTag == tag) {
            found.push_back(line);
        }
    }
    return found;
}

class LineTraceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tallix-trace-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        tracePath = dir + "/line.trace";
    }
    void TearDown() override {
        StopLineTrace();
        (void)std::system(("rm -rf '" + dir + "'").c_str());
    }

    std::string dir;
    std::string tracePath;
};

TEST(TraceColumnsTest, HexAndPrintableText) {
    const uint8_t bytes[] = {0x0A, 'A', ';', 0x0D, 0xFF, 0x7F, ' '};
    EXPECT_EQ(TraceColumns(bytes, 7), "0A 41 3B 0D FF 7F 20 | .A;... ");
    EXPECT_EQ(TraceColumns(bytes, 0), " | ");
    EXPECT_EQ(TraceColumns(nullptr, 3), " | ");
}

TEST_F(LineTraceTest, WritesArrivalsAndTimeOutsOfOneLine) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager port;
    ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    ASSERT_TRUE(StartLineTrace(tracePath));
    EXPECT_TRUE(LineTraceOn());

    const uint8_t frame[] = {0x0A, 'A', ';', ';', ';', 'X', ';', 0x0D, 0x12, 0x34};
    ASSERT_EQ(port.write(frame, sizeof frame), static_cast<int>(sizeof frame));
    ASSERT_EQ(pty.receive(sizeof frame).size(), sizeof frame);
    ASSERT_TRUE(pty.send(std::vector<uint8_t>{0x06}));
    EXPECT_EQ(port.readByte(5), 0x06);
    EXPECT_EQ(port.readByte(0.01), -1);
    EXPECT_EQ(port.writeString("HI"), 2);
    port.close();
    StopLineTrace();
    EXPECT_FALSE(LineTraceOn());

    const std::string content = ReadAll(tracePath);
    ASSERT_FALSE(content.empty());
    EXPECT_EQ(content.rfind("# tallix line trace, started ", 0), 0u) << content;

    const auto written = Records(tracePath, "W");
    ASSERT_GE(written.size(), 2u) << content;
    EXPECT_NE(written[0].find("   10 | 0A 41 3B 3B 3B 58 3B 0D 12 34 | .A;;;X;..4"),
              std::string::npos)
        << written[0];
    const auto received = Records(tracePath, "RT");
    ASSERT_EQ(received.size(), 1u) << content;
    EXPECT_NE(received[0].find("1 | 06 | ."), std::string::npos) << received[0];
    const auto timeouts = Records(tracePath, "RTIMEOUT");
    ASSERT_EQ(timeouts.size(), 1u) << content;
    EXPECT_NE(timeouts[0].find(" 0 | "), std::string::npos) << timeouts[0];
    ASSERT_EQ(Records(tracePath, "WS").size(), 1u) << content;

    // Times are monotonic milliseconds in file order.
    double last = -1;
    for (const std::string& line : Lines(content)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const double ms = std::stod(line);
        EXPECT_GE(ms, last) << line;
        last = ms;
    }
}

TEST_F(LineTraceTest, NothingIsWrittenWithoutATraceOrAfterItEnds) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager port;
    ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    const uint8_t byte = 0x11;
    EXPECT_EQ(port.write(&byte, 1), 1);

    ASSERT_TRUE(StartLineTrace(tracePath));
    StopLineTrace();
    const std::string header = ReadAll(tracePath);
    EXPECT_EQ(port.write(&byte, 1), 1);
    ASSERT_TRUE(pty.send("late"));
    EXPECT_EQ(port.readByte(5), 'l');
    port.close();
    EXPECT_EQ(ReadAll(tracePath), header) << "a stopped trace takes no more records";
    EXPECT_TRUE(Records(tracePath, "W").empty());
}

TEST_F(LineTraceTest, AFileThatCannotBeOpenedLeavesTheTraceOff) {
    ASSERT_TRUE(StartLineTrace(tracePath));
    EXPECT_FALSE(StartLineTrace(dir + "/no-such-folder/line.trace"));
    EXPECT_FALSE(LineTraceOn()) << "the earlier trace ended when the new one was asked for";
    // Also for root, who passes permission bits: the parent is a regular file.
    EXPECT_FALSE(StartLineTrace(tracePath + "/inside"));
}

// The reading thread logs arrivals while the caller's thread logs its writes; every record
// must come out whole, on its own line.
TEST_F(LineTraceTest, RecordsOfTwoThreadsNeverInterleave) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager port;
    ASSERT_GE(port.open(pty.path(), 115200, 8, 0, 1), 0);
    ASSERT_TRUE(StartLineTrace(tracePath));

    constexpr int kRounds = 200;
    std::thread farEnd([&] {
        for (int i = 0; i < kRounds; ++i) {
            (void)pty.send("RRRRRRRR");
            (void)pty.receive(8, 5.0);
        }
    });
    const std::vector<uint8_t> chunk(8, 'W');
    int taken = 0;
    for (int i = 0; i < kRounds; ++i) {
        (void)port.write(chunk.data(), static_cast<int>(chunk.size()));
        uint8_t in[8];
        taken += port.read(in, 8, 5.0);
    }
    farEnd.join();
    EXPECT_EQ(taken, kRounds * 8);
    port.close();
    StopLineTrace();

    int received = 0;
    for (const std::string& line : Lines(ReadAll(tracePath))) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string ms;
        std::string tag;
        int count = -1;
        std::string bar;
        fields >> ms >> tag >> count >> bar;
        ASSERT_EQ(bar, "|") << line;
        if (tag == "W") {
            EXPECT_NE(line.find("57 57 57 57 57 57 57 57 | WWWWWWWW"), std::string::npos) << line;
        } else if (tag == "RT") {
            ASSERT_GT(count, 0) << line;
            EXPECT_EQ(line.substr(line.size() - static_cast<size_t>(count)),
                      std::string(static_cast<size_t>(count), 'R'))
                << line;
            received += count;
        } else {
            EXPECT_EQ(tag, "RTIMEOUT") << line;
        }
    }
    EXPECT_EQ(received, kRounds * 8);
}

}  // namespace
}  // namespace tallix
