#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "protocol/Checksum.h"
#include "tests/sim/PrinterHarness.h"

namespace tallix::test {
namespace {

const std::string kSale = "L;;PAINE;2.50;1.000;1;1;1;0;0;";

FaultSettings With(void (*set)(FaultSettings&)) {
    FaultSettings faults;
    set(faults);
    return faults;
}

// The text of an answer frame: between its LF and its CR.
std::string AnswerText(const Bytes& answer) {
    if (answer.size() < 4) {
        return {};
    }
    return {answer.begin() + 1, answer.end() - 3};
}

bool ChecksumOk(const Bytes& answer) {
    // answer: LF, text with CR, two checksum bytes
    if (answer.size() < 4 || answer[0] != kLF) {
        return false;
    }
    const uint16_t crc = CalculateCrC(answer.data() + 1, static_cast<int>(answer.size()) - 3);
    return answer[answer.size() - 2] == HIBYTE(crc) && answer.back() == LOBYTE(crc);
}

TEST(SimFaults, DropAckStillExecutes) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.dropAck.next = 2; }));
    EXPECT_TRUE(h.command(kSale).empty());
    EXPECT_TRUE(h.command(kSale).empty());
    EXPECT_EQ(h.printer.sequence(), 3);
    EXPECT_EQ(h.last("frame").str("fault"), "drop-ack");
    EXPECT_TRUE(h.last("frame").flag("executed"));
    EXPECT_FALSE(h.last("frame").flag("acked"));
    EXPECT_EQ(h.command(kSale), Bytes{kACK});

    PrinterHarness every({}, With([](FaultSettings& f) { f.dropAck.every = 3; }));
    std::string acks;
    for (int i = 0; i < 6; ++i) {
        acks += every.command(kSale).empty() ? '-' : 'A';
    }
    EXPECT_EQ(acks, "AA-AA-");
}

TEST(SimFaults, DropFramesNeitherAcksNorExecutes) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.dropFrame.next = 1; }));
    EXPECT_TRUE(h.command(kSale).empty());
    EXPECT_EQ(h.printer.sequence(), 1);
    EXPECT_FALSE(h.printer.fiscal().receiptOpen());
    EXPECT_EQ(h.last("frame").str("fault"), "drop-frame");
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_EQ(h.printer.sequence(), 2);

    PrinterHarness every({}, With([](FaultSettings& f) { f.dropFrame.every = 2; }));
    EXPECT_EQ(every.command(kSale), Bytes{kACK});
    EXPECT_TRUE(every.command(kSale).empty());
    EXPECT_EQ(every.command(kSale), Bytes{kACK});
    EXPECT_EQ(every.printer.sequence(), 3);
}

TEST(SimFaults, CorruptAnswers) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.corruptAnswer.next = 2; }));
    EXPECT_FALSE(ChecksumOk(h.wake()));
    EXPECT_TRUE(h.last("wakeup").flag("corrupted"));
    EXPECT_FALSE(ChecksumOk(h.wake()));
    EXPECT_TRUE(ChecksumOk(h.wake()));
    // Only the checksum is wrong: the text is intact.
    PrinterHarness one({}, With([](FaultSettings& f) { f.corruptAnswer.every = 2; }));
    const Bytes good = one.wake();
    const Bytes bad = one.wake();
    EXPECT_TRUE(ChecksumOk(good));
    EXPECT_FALSE(ChecksumOk(bad));
    EXPECT_EQ(Bytes(good.begin(), good.end() - 2), Bytes(bad.begin(), bad.end() - 2));
}

TEST(SimFaults, NoiseBeforeTheAnswer) {
    PrinterHarness all({}, With([](FaultSettings& f) { f.noiseBytes = 9; }));
    for (int i = 0; i < 3; ++i) {
        const Bytes answer = all.wake();
        ASSERT_GT(answer.size(), 9U);
        EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 9), Bytes(9, '?'));
        EXPECT_TRUE(ChecksumOk(Bytes(answer.begin() + 9, answer.end())));
    }
    EXPECT_EQ(all.last("wakeup").integer("noise"), 9);

    PrinterHarness next({}, With([](FaultSettings& f) {
                            f.noiseBytes = 10;
                            f.noiseAnswer = CountedFault::Next(1);
                        }));
    EXPECT_EQ(next.wake()[10], kLF);
    EXPECT_EQ(next.wake()[0], kLF);
}

TEST(SimFaults, MuteSwitches) {
    PrinterHarness mute({}, With([](FaultSettings& f) { f.mute = true; }));
    EXPECT_TRUE(mute.wake().empty());
    EXPECT_EQ(mute.last("wakeup").str("reason"), "mute");
    EXPECT_EQ(mute.command(kSale), Bytes{kACK});  // frames are still served

    PrinterHarness afterCommands({}, With([](FaultSettings& f) { f.muteAfterCommands = 1; }));
    EXPECT_FALSE(afterCommands.wake().empty());
    EXPECT_FALSE(afterCommands.wake().empty());
    afterCommands.command(kSale);
    EXPECT_TRUE(afterCommands.wake().empty());
    EXPECT_EQ(afterCommands.last("wakeup").str("reason"), "mute after commands");

    PrinterHarness afterWakeups({}, With([](FaultSettings& f) { f.muteAfterWakeups = 2; }));
    EXPECT_FALSE(afterWakeups.wake().empty());
    EXPECT_TRUE(afterWakeups.wake("02").empty());  // another ID is not counted
    EXPECT_FALSE(afterWakeups.wake().empty());
    EXPECT_TRUE(afterWakeups.wake().empty());
}

TEST(SimFaults, ThePrinterComesBackWithItsStateAndWithoutFaults) {
    PrinterHarness h({}, With([](FaultSettings& f) {
                         f.muteAfterCommands = 1;
                         f.dropFrame.every = 2;
                     }));
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_TRUE(h.wake().empty());
    h.printer.recover();
    EXPECT_EQ(h.last("recovered").integer("sequence"), 2);
    EXPECT_FALSE(h.wake().empty());
    EXPECT_EQ(h.command(kSale), Bytes{kACK});  // the second frame is no longer dropped
    EXPECT_EQ(h.printer.sequence(), 3);
    EXPECT_EQ(h.printer.fiscal().receiptTotal(), 500);  // both sales on the open receipt
}

TEST(SimFaults, FrozenSequenceStillExecutes) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.freezeSequence = true; }));
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_TRUE(h.printer.fiscal().receiptOpen());
    EXPECT_EQ(h.printer.sequence(), 1);
    EXPECT_TRUE(h.last("frame").flag("executed"));
}

TEST(SimFaults, HangupAfterCommands) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.hangupAfter = 2; }));
    h.command(kSale);
    EXPECT_FALSE(h.printer.hungUp());
    // The second command is acknowledged; then the line goes dead.
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_TRUE(h.printer.hungUp());
    EXPECT_EQ(h.last("hangup").integer("commands"), 2);
    EXPECT_TRUE(h.wake().empty());
}

TEST(SimFaults, DelayAppliesToEveryReply) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.delayMs = 250; }));
    h.wake();
    EXPECT_EQ(h.lastDelayMs, 250);
    h.lastDelayMs = -1;
    h.command(kSale);
    EXPECT_EQ(h.lastDelayMs, 250);
}

// Every reply draws its own delay within the bounds, on top of the fixed one; the same seed
// gives the same delays, another seed others.
TEST(SimFaults, JitterDrawsRepeatableDelaysWithinItsBounds) {
    auto delays = [](uint64_t seed) {
        FaultSettings faults;
        faults.delayMs = 100;
        faults.jitterMaxMs = 600;
        faults.seed = seed;
        PrinterHarness h({}, faults);
        std::vector<int> drawn;
        for (int i = 0; i < 20; ++i) {
            h.wake();
            drawn.push_back(h.lastDelayMs);
            h.command(kSale);
            drawn.push_back(h.lastDelayMs);
        }
        return drawn;
    };
    const std::vector<int> first = delays(7);
    EXPECT_EQ(first, delays(7));
    EXPECT_NE(first, delays(8));
    EXPECT_GE(*std::min_element(first.begin(), first.end()), 100);
    EXPECT_LE(*std::max_element(first.begin(), first.end()), 700);
    EXPECT_GT(std::set<int>(first.begin(), first.end()).size(), 10U);
}

TEST(SimFaults, RefusedCommandKeepsTheSequence) {
    PrinterHarness h;
    EXPECT_EQ(h.command("E;0;5.00;;;;"), Bytes{kACK});
    EXPECT_EQ(h.printer.sequence(), 1);
    EXPECT_EQ(h.last("frame").str("reason"), "no receipt open");
    EXPECT_FALSE(h.last("frame").flag("executed"));
}

TEST(SimFaults, SequenceWrapsAt32Bits) {
    PrinterHarness h({"VX37000001", 1, INT32_MAX}, {});
    EXPECT_TRUE(h.execute(kSale));
    EXPECT_EQ(h.printer.sequence(), INT32_MIN);
    const Bytes answer = h.wake();
    EXPECT_EQ(std::string(answer.begin() + 1, answer.end() - 3), "VX37000001;-2147483648;");
}

// The "at" and chance forms of a counted fault: the numbered events, and a seeded share of
// them that repeats with the seed.
TEST(SimFaults, CountedFaultsStrikeNumberedEventsAndSeededChances) {
    CountedFault at;
    at.at = {2, 5};
    std::string struck;
    for (int i = 0; i < 6; ++i) {
        struck += at.strike() ? 'x' : '.';
    }
    EXPECT_EQ(struck, ".x..x.");

    auto pattern = [](uint64_t seed) {
        CountedFault chance;
        chance.percent = 25;
        chance.draws = Draws(seed);
        std::string hits;
        for (int i = 0; i < 400; ++i) {
            hits += chance.strike() ? 'x' : '.';
        }
        return hits;
    };
    EXPECT_EQ(pattern(3), pattern(3));
    EXPECT_NE(pattern(3), pattern(4));
    const std::string drawn = pattern(3);
    const auto hits = std::count(drawn.begin(), drawn.end(), 'x');
    EXPECT_GT(hits, 60);
    EXPECT_LT(hits, 140);
}

TEST(SimFaults, RefusedFramesAreAcknowledgedButNotExecuted) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.refuseFrame.at = {2}; }));
    EXPECT_TRUE(h.execute(kSale));
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_EQ(h.printer.sequence(), 2);
    EXPECT_FALSE(h.last("frame").flag("executed"));
    EXPECT_EQ(h.last("frame").str("reason"), "refused");
    EXPECT_EQ(h.last("frame").str("fault"), "refuse-frame");
    EXPECT_EQ(h.printer.fiscal().receiptTotal(), 250);  // one sale on the receipt
    EXPECT_TRUE(h.execute(kSale));

    // Refused and its ACK lost: from the host's side the same as a frame lost on the line.
    PrinterHarness both({}, With([](FaultSettings& f) {
                            f.refuseFrame.next = 1;
                            f.dropAck.next = 1;
                        }));
    EXPECT_TRUE(both.command(kSale).empty());
    EXPECT_EQ(both.printer.sequence(), 1);
    EXPECT_EQ(both.last("frame").str("fault"), "drop-ack,refuse-frame");
}

// Only wake-ups that would be answered count: another ID's and muted ones do not.
TEST(SimFaults, DroppedAnswersLeaveWakeUpsUnanswered) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.dropAnswer.every = 3; }));
    std::string answered;
    for (int i = 0; i < 7; ++i) {
        answered += h.wake().empty() ? '-' : 'A';
        EXPECT_TRUE(h.wake("02").empty());
    }
    EXPECT_EQ(answered, "AA-AA-A");
    EXPECT_EQ(h.last("wakeup").str("id"), "02");
    int dropped = 0;
    for (const auto& entry : h.journal()) {
        if (entry.kind() == "wakeup" && entry.str("reason") == "dropped") {
            ++dropped;
            EXPECT_FALSE(entry.flag("answered"));
        }
    }
    EXPECT_EQ(dropped, 2);
}

// The copy is the same bytes, detached from the order of the replies, the gap after the
// first copy was due.
TEST(SimFaults, AnAnswerGivenTwiceComesAgainAfterTheGap) {
    PrinterHarness h({}, With([](FaultSettings& f) {
                         f.delayMs = 40;
                         f.doubleAnswer.at = {2};
                         f.doubleGapMs = 3500;
                     }));
    h.wake();
    EXPECT_EQ(h.lastReplies.size(), 1U);
    EXPECT_FALSE(h.last("wakeup").flag("doubled"));
    h.wake();
    ASSERT_EQ(h.lastReplies.size(), 2U);
    EXPECT_EQ(h.lastReplies[0].bytes, h.lastReplies[1].bytes);
    EXPECT_TRUE(ChecksumOk(h.lastReplies[1].bytes));
    EXPECT_FALSE(h.lastReplies[0].detached);
    EXPECT_TRUE(h.lastReplies[1].detached);
    EXPECT_EQ(h.lastReplies[0].delayMs, 40);
    EXPECT_EQ(h.lastReplies[1].delayMs, 3540);
    EXPECT_TRUE(h.last("wakeup").flag("doubled"));
    h.wake();
    EXPECT_EQ(h.lastReplies.size(), 1U);
}

// Answer-shaped bytes after a request: the printer's serial number and the counter as it was
// when the request came (before the frame's command moved it), and a wrong checksum.
TEST(SimFaults, FalseAnswersLookLikeAnswersWithAWrongChecksum) {
    PrinterHarness h({}, With([](FaultSettings& f) {
                         f.falseAnswer.every = 1;
                         f.falseMinMs = 100;
                         f.falseMaxMs = 900;
                     }));
    h.wake();
    ASSERT_EQ(h.lastReplies.size(), 2U);
    const Reply& afterWakeUp = h.lastReplies[0];
    EXPECT_TRUE(afterWakeUp.detached);
    EXPECT_FALSE(ChecksumOk(afterWakeUp.bytes));
    EXPECT_EQ(Bytes(afterWakeUp.bytes.begin(), afterWakeUp.bytes.end() - 2),
              Bytes(h.lastReplies[1].bytes.begin(), h.lastReplies[1].bytes.end() - 2));

    h.command(kSale);
    ASSERT_EQ(h.lastReplies.size(), 2U);
    const Reply& afterFrame = h.lastReplies[0];
    EXPECT_EQ(AnswerText(afterFrame.bytes), "VX37000001;1;");
    EXPECT_EQ(h.printer.sequence(), 2);
    EXPECT_EQ(h.last("false_answer").str("after"), "frame");
    EXPECT_EQ(h.last("false_answer").str("answer"), "VX37000001;1;");

    std::vector<int> delays;
    for (int i = 0; i < 30; ++i) {
        h.wake("02");  // another ID's request is no request to this printer
        EXPECT_TRUE(h.lastReplies.empty());
        h.wake();
        delays.push_back(h.lastReplies[0].delayMs);
        EXPECT_EQ(delays.back(), h.last("false_answer").integer("delay_ms"));
    }
    EXPECT_GE(*std::min_element(delays.begin(), delays.end()), 100);
    EXPECT_LE(*std::max_element(delays.begin(), delays.end()), 900);
    EXPECT_GT(std::set<int>(delays.begin(), delays.end()).size(), 10U);
}

// The same seed gives the same false answers at the same requests, whatever else is on.
TEST(SimFaults, RandomFaultsRepeatWithTheSeedAndDrawApart) {
    auto falseAnswers = [](uint64_t seed, bool dropAnswers) {
        FaultSettings faults;
        faults.seed = seed;
        faults.falseAnswer.percent = 30;
        faults.dropAnswer.percent = dropAnswers ? 50 : 0;
        PrinterHarness h({}, faults);
        std::string at;
        for (int i = 0; i < 60; ++i) {
            h.lines.clear();
            h.wake();
            at += h.journal().front().kind() == "false_answer" ? 'x' : '.';
        }
        return at;
    };
    EXPECT_EQ(falseAnswers(5, false), falseAnswers(5, false));
    EXPECT_NE(falseAnswers(5, false), falseAnswers(6, false));
    EXPECT_EQ(falseAnswers(5, false), falseAnswers(5, true));
}

// A printer that lost the frame and came back with its counter at 1.
TEST(SimFaults, TheCounterIsSetAtTheChosenFrame) {
    PrinterHarness h({"VX37000001", 1, 40}, With([](FaultSettings& f) {
                         f.dropFrame.at = {2};
                         f.setSequenceAt = 2;
                         f.setSequenceTo = 1;
                     }));
    EXPECT_TRUE(h.execute(kSale));
    EXPECT_EQ(h.printer.sequence(), 41);
    EXPECT_TRUE(h.command(kSale).empty());
    EXPECT_EQ(h.last("frame").str("fault"), "drop-frame");
    EXPECT_EQ(h.printer.sequence(), 1);
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;1;");
    EXPECT_EQ(h.last("sequence").str("reason"), "set");
    EXPECT_EQ(h.last("sequence").integer("seq_before"), 41);
    EXPECT_EQ(h.last("sequence").integer("seq_after"), 1);
    EXPECT_EQ(h.printer.fiscal().receiptTotal(), 250);
    // A frame with a bad checksum is not counted.
    Bytes bad = FrameOf(kSale);
    bad.back() ^= 0x01;
    h.send(bad);
    EXPECT_TRUE(h.execute(kSale));
    EXPECT_EQ(h.printer.sequence(), 2);
}

// The counter moves only when printing ends: answers in between show the old one.
TEST(SimFaults, TheCounterMovesTheLagAfterTheFrame) {
    PrinterHarness h({}, With([](FaultSettings& f) { f.sequenceLagMs = 300; }));
    EXPECT_EQ(h.command(kSale), Bytes{kACK});
    EXPECT_TRUE(h.last("frame").flag("executed"));
    EXPECT_EQ(h.last("frame").integer("seq_after"), 1);
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;1;");
    h.now += 0.299;
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;1;");
    h.now += 0.002;
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;2;");
    EXPECT_EQ(h.last("sequence").str("reason"), "late");
    // Two commands in a row: each moves it once, in turn.
    h.command(kSale);
    h.now += 0.1;
    h.command(kSale);
    h.now += 0.25;
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;3;");
    h.now += 0.1;
    EXPECT_EQ(AnswerText(h.wake()), "VX37000001;4;");
}

}  // namespace
}  // namespace tallix::test
