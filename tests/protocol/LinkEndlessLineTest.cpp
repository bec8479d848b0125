// A line that never falls silent (noise, a wrong speed, a device streaming bytes) ends the
// link's calls with false instead of draining it for ever with the port held.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

#include "protocol/CashRegManager.h"
#include "tests/support/StreamingPty.h"

namespace tallix {
namespace {

using test::StreamingPty;

const uint8_t kNoMap[256] = {};

// The call's result, or nothing when it had not ended by the deadline (a hang guard far above
// the drain's limit, and below the 201 exchanges of a silent printer); the line is then hung
// up, which ends the call.
template <typename Call>
std::optional<bool> Within(StreamingPty& line, Call call) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        line.hangUp();
        return std::nullopt;
    }
    return done.get();
}

bool Sent(const std::vector<uint8_t>& bytes, uint8_t byte) {
    return std::find(bytes.begin(), bytes.end(), byte) != bytes.end();
}

TEST(LinkEndlessLine, WakeUpOnALineOfNineHundredSixtyBytesASecondFails) {
    StreamingPty line(960);
    ASSERT_FALSE(line.path().empty());
    CashRegManager link;
    ASSERT_TRUE(link.Open(line.path(), 9600));
    link.InitializeCR(1, kNoMap, 15);
    WakeUpAnswer answer;
    EXPECT_EQ(Within(line, [&] { return link.WakeUP(answer); }), std::optional<bool>(false));
    EXPECT_FALSE(link.lastSequence().has_value());
    link.Close();
}

TEST(LinkEndlessLine, CommandOnALineAsFastAsItGoesFailsAndSendsNoFrame) {
    StreamingPty line(0);
    ASSERT_FALSE(line.path().empty());
    CashRegManager link;
    ASSERT_TRUE(link.Open(line.path(), 115200));
    link.InitializeCR(1, kNoMap, 15);
    const std::string text = "L;;PAINE;2.50;1.000;1;1;1;0;0;";
    EXPECT_EQ(Within(line,
                     [&] {
                         return link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                                 static_cast<int>(text.size()));
                     }),
              std::optional<bool>(false));
    const auto received = line.received();
    EXPECT_FALSE(Sent(received, 0x0A)) << "no frame";
    // The first drain meets thousands of bytes at once and ends the wake-up: at most a few
    // requests went out (a stalled far end may let a drain end), never the 201 exchanges'.
    EXPECT_LT(std::count(received.begin(), received.end(), 0x11), 2 * 20);
    EXPECT_GT(line.sent(), 0);
    // The port is free again for the next user.
    link.Close();
    CashRegManager next;
    EXPECT_TRUE(next.Open(line.path(), 115200));
}

TEST(LinkEndlessLine, SettleOnALineThatKeepsTalkingGivesUp) {
    StreamingPty line(960);
    ASSERT_FALSE(line.path().empty());
    CashRegManager link;
    ASSERT_TRUE(link.Open(line.path(), 9600));
    link.InitializeCR(1, kNoMap, 15);
    EXPECT_EQ(Within(line, [&] { return link.Settle(); }), std::optional<bool>(false));
    link.Close();
}

}  // namespace
}  // namespace tallix
