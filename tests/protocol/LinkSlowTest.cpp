// The link's longest ways to give up: they wait out the protocol's own time-outs.

#include <gtest/gtest.h>

#include "tests/protocol/SimLink.h"

namespace tallix {
namespace {

using test::SimLink;

TEST(LinkSlow, NeverAcknowledgingPrinterGetsExactlyOneHundredFrames) {
    SimLink p({"--drop-frame-every", "1"});
    ASSERT_TRUE(p.opened);
    // The closing wake-up answers, so without the sequence check the command counts.
    EXPECT_TRUE(p.Send("X;LOST;;;;;", false));
    EXPECT_EQ(p.Entries("frame", 100).size(), 100U);
    // First wake-up, one after each frame, the closing one.
    EXPECT_EQ(p.Entries("wakeup", 102).size(), 102U);
    EXPECT_TRUE(p.sim.executedCommands().empty());
}

TEST(LinkSlow, NeverAcknowledgingPrinterFailsTheSequenceCheck) {
    SimLink p({"--drop-frame-every", "1"});
    ASSERT_TRUE(p.opened);
    EXPECT_FALSE(p.Send("X;LOST;;;;;"));
    EXPECT_EQ(p.Entries("frame", 100).size(), 100U);
}

// The ACK is lost and the printer answers no wake-up after the frame: whether it executed the
// frame cannot be told, so the exchange fails and the frame is not sent again.
TEST(LinkSlow, UnknownOutcomeFailsWithoutSendingTheFrameAgain) {
    SimLink p({"--drop-ack", "1", "--mute-after", "1"});
    ASSERT_TRUE(p.opened);
    EXPECT_FALSE(p.Send("X;UNKNOWN;;;;;"));
    EXPECT_EQ(p.Entries("frame", 1).size(), 1U);
    EXPECT_EQ(p.sim.executedCommands(), std::vector<std::string>{"X;UNKNOWN;;;;;"});
}

TEST(LinkSlow, SilentPrinterFailsWakeUpAfter201Exchanges) {
    SimLink p({"--mute"});
    ASSERT_TRUE(p.opened);
    WakeUpAnswer answer;
    EXPECT_FALSE(p.link.WakeUP(answer));
    EXPECT_EQ(p.Entries("reset", 1).size(), 1U);
    EXPECT_EQ(p.Entries("wakeup", 201).size(), 201U);
}

}  // namespace
}  // namespace tallix
