// The link against the virtual printer and its fault switches.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/protocol/SimLink.h"

namespace tallix {
namespace {

using test::JournalEntry;
using test::SimLink;

std::vector<std::string> Kinds(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> kinds;
    for (const JournalEntry& entry : entries) {
        if (entry.kind() != "start" && entry.kind() != "noise") {
            kinds.push_back(entry.kind());
        }
    }
    return kinds;
}

TEST(LinkSim, OneExchangeIsResetWakeUpFrameResetWakeUp) {
    SimLink p({"--serial", "RO00000042", "--sequence", "7"});
    ASSERT_TRUE(p.opened);
    WakeUpAnswer answer;
    ASSERT_TRUE(p.link.WakeUP(answer));
    EXPECT_EQ(std::string(answer.serialNumber, 10), "RO00000042");
    EXPECT_EQ(answer.sequence, 7);

    ASSERT_TRUE(p.Send("X;TEST;;;;;"));
    const auto wakeUps = p.Entries("wakeup", 3);
    ASSERT_EQ(wakeUps.size(), 3U);
    EXPECT_EQ(Kinds(p.sim.journalLines()),
              (std::vector<std::string>{"reset", "wakeup", "reset", "wakeup", "frame", "reset",
                                        "wakeup"}));
    for (const JournalEntry& w : wakeUps) {
        EXPECT_EQ(w.str("id"), "01");
        EXPECT_TRUE(w.flag("answered"));
    }
    const auto frames = p.Entries("frame", 1);
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0].text(), "X;TEST;;;;;");
    EXPECT_TRUE(frames[0].flag("crc_ok"));
    EXPECT_TRUE(frames[0].flag("executed"));
}

TEST(LinkSim, WakeUpCarriesTheFirstTwoDigitsOfTheLogicalId) {
    for (const auto& [id, printerId, digits] :
         {std::tuple{5, "5", "05"}, {0, "0", "00"}, {123, "12", "12"}}) {
        SimLink p({"--logical-id", printerId}, id);
        ASSERT_TRUE(p.opened);
        WakeUpAnswer answer;
        EXPECT_TRUE(p.link.WakeUPExchange(answer)) << id;
        const auto wakeUps = p.Entries("wakeup", 1);
        ASSERT_EQ(wakeUps.size(), 1U);
        EXPECT_EQ(wakeUps[0].str("id"), digits);
    }
}

TEST(LinkSim, CorruptedAnswersAreRequestedAgainAtMostThreeTimes) {
    SimLink p({"--corrupt-answers", "5"});
    ASSERT_TRUE(p.opened);
    WakeUpAnswer answer;
    EXPECT_FALSE(p.link.WakeUPExchange(answer));  // three corrupted answers
    EXPECT_EQ(p.Entries("wakeup", 3).size(), 3U);
    EXPECT_TRUE(p.link.WakeUPExchange(answer));  // two more corrupted, then a good one
    EXPECT_EQ(p.Entries("wakeup", 6).size(), 6U);
}

TEST(LinkSim, NineNoiseBytesBeforeTheAnswerAreSkippedTenFail) {
    {
        SimLink p({"--noise", "9"});
        ASSERT_TRUE(p.opened);
        WakeUpAnswer answer;
        EXPECT_TRUE(p.link.WakeUPExchange(answer));
    }
    {
        SimLink p({"--noise", "10", "--noise-answers", "1"});
        ASSERT_TRUE(p.opened);
        WakeUpAnswer answer;
        EXPECT_FALSE(p.link.WakeUPExchange(answer));
        EXPECT_EQ(p.Entries("wakeup", 1).size(), 1U);  // no further request
        EXPECT_TRUE(p.link.WakeUP(answer));            // WakeUP repeats the exchange
    }
}

TEST(LinkSim, FrozenSequenceFailsOnlyWithTheCheck) {
    SimLink p({"--freeze-sequence"});
    ASSERT_TRUE(p.opened);
    EXPECT_FALSE(p.Send("X;ONE;;;;;"));
    EXPECT_TRUE(p.Send("X;TWO;;;;;", false));
    EXPECT_EQ(p.Entries("frame", 2).size(), 2U);  // each sent once: the ACK came
}

TEST(LinkSim, LostFrameIsSentAgainAndExecutedOnce) {
    SimLink p({"--drop-frames", "1"});
    ASSERT_TRUE(p.opened);
    ASSERT_TRUE(p.Send("X;ONCE;;;;;"));
    const auto frames = p.Entries("frame", 2);
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_FALSE(frames[0].flag("executed"));
    EXPECT_TRUE(frames[1].flag("executed"));
    EXPECT_EQ(p.sim.executedCommands(), std::vector<std::string>{"X;ONCE;;;;;"});
}

TEST(LinkSim, LostAckAfterExecutionIsNotSentAgain) {
    SimLink p({"--drop-ack", "1"});
    ASSERT_TRUE(p.opened);
    ASSERT_TRUE(p.Send("L;;PAINE;2.50;1.000;1;1;1;0;0;"));
    // The wake-up after the missing ACK, then the closing one.
    EXPECT_EQ(p.Entries("wakeup", 3).size(), 3U);
    const auto frames = p.Entries("frame", 1);
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_TRUE(frames[0].flag("executed"));
    EXPECT_FALSE(frames[0].flag("acked"));
    // The next command is unaffected.
    ASSERT_TRUE(p.Send("E;0;;;;;"));
    EXPECT_EQ(p.sim.executedCommands().size(), 2U);
}

TEST(LinkSim, ExecutedWithoutAnyAckCountsForReportsToo) {
    SimLink p({"--drop-ack-every", "1"});
    ASSERT_TRUE(p.opened);
    EXPECT_TRUE(p.Send("A;;;X;", false));
    EXPECT_TRUE(p.Send("X;A;;;;;"));
    EXPECT_EQ(p.Entries("frame", 2).size(), 2U);
}

TEST(LinkSim, LineWithoutItsPrinterFailsTheNextCommand) {
    SimLink p({});
    ASSERT_TRUE(p.opened);
    EXPECT_TRUE(p.Send("X;LAST;;;;;"));
    p.sim.stop();
    // The far end of the line is gone: nothing can be written, the reset fails at once.
    EXPECT_FALSE(p.Send("X;AFTER;;;;;"));
}

}  // namespace
}  // namespace tallix
