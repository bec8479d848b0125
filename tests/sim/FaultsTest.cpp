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
                            f.noiseAnswer = CountedFault{1, 0, 0};
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
        faults.jitterSeed = seed;
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

}  // namespace
}  // namespace tallix::test
