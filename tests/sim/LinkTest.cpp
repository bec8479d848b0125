#include <gtest/gtest.h>

#include <random>

#include "protocol/Checksum.h"
#include "tests/sim/PrinterHarness.h"

namespace tallix::test {
namespace {

const Bytes kReset = {kFill, kFill, kDC3, kDC3, kDC3, kFill};

TEST(SimLink, WakeUpAnswerBytesAndChecksum) {
    PrinterHarness h({"AB12345678", 1, 17}, {});
    const Bytes answer = h.send(kReset + WakeUpRequest("01"));
    const std::string text = "AB12345678;17;\r";
    const uint16_t crc =
        CalculateCrC(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    Bytes expected = {kLF};
    expected.insert(expected.end(), text.begin(), text.end());
    expected.push_back(HIBYTE(crc));
    expected.push_back(LOBYTE(crc));
    EXPECT_EQ(answer, expected);
    const auto entry = h.last("wakeup");
    EXPECT_EQ(entry.str("id"), "01");
    EXPECT_TRUE(entry.flag("answered"));
    EXPECT_EQ(entry.str("answer"), "AB12345678;17;");
    EXPECT_EQ(h.last("reset").kind(), "reset");
    // The host's ACK and fill bytes after the answer are accepted silently.
    EXPECT_TRUE(h.send({kACK, kFill}).empty());
    EXPECT_EQ(h.last("noise").kind(), "");
}

TEST(SimLink, AnswersOnlyItsOwnLogicalId) {
    PrinterHarness h({"VX37000001", 5, 1}, {});
    EXPECT_TRUE(h.wake("01").empty());
    EXPECT_TRUE(h.wake("50").empty());
    EXPECT_FALSE(h.last("wakeup").flag("answered"));
    EXPECT_EQ(h.last("wakeup").str("reason"), "other id");
    EXPECT_FALSE(h.wake("05").empty());

    PrinterHarness zero({"VX37000001", 0, 1}, {});
    EXPECT_FALSE(zero.wake("00").empty());
    PrinterHarness twelve({"VX37000001", 12, 1}, {});
    EXPECT_FALSE(twelve.wake("12").empty());
    EXPECT_TRUE(twelve.wake("01").empty());
}

TEST(SimLink, ValidFrameIsAcknowledgedThenExecuted) {
    PrinterHarness h;
    EXPECT_EQ(h.command("L;;PAINE;2.50;1.000;1;1;1;0;0;"), Bytes{kACK});
    EXPECT_EQ(h.printer.sequence(), 2);
    const auto frame = h.last("frame");
    EXPECT_EQ(frame.text(), "L;;PAINE;2.50;1.000;1;1;1;0;0;");
    EXPECT_TRUE(frame.flag("crc_ok"));
    EXPECT_TRUE(frame.flag("acked"));
    EXPECT_TRUE(frame.flag("executed"));
    EXPECT_EQ(frame.integer("seq_before"), 1);
    EXPECT_EQ(frame.integer("seq_after"), 2);
    // The next wake-up reports the moved counter.
    const Bytes answer = h.wake();
    EXPECT_EQ(std::string(answer.begin() + 1, answer.end() - 3), "VX37000001;2;");
}

TEST(SimLink, BadChecksumIsIgnored) {
    PrinterHarness h;
    Bytes frame = FrameOf("A;;;X;");
    frame.back() ^= 0x01;
    EXPECT_TRUE(h.send(frame).empty());
    EXPECT_EQ(h.printer.sequence(), 1);
    EXPECT_FALSE(h.last("frame").flag("crc_ok"));
    EXPECT_FALSE(h.last("frame").flag("executed"));
    EXPECT_EQ(h.last("frame").str("reason"), "bad checksum");
    EXPECT_TRUE(h.paper.empty());
    // A changed text byte is caught too.
    frame = FrameOf("A;;;X;");
    frame[1] = 'B';
    EXPECT_TRUE(h.send(frame).empty());
}

TEST(SimLink, BytesMaySplitAnywhereAndFillIsIgnored) {
    PrinterHarness h;
    Bytes all = {kFill, kFill};
    const Bytes frame = FrameOf("A;;;X;");
    all.insert(all.end(), frame.begin(), frame.end());
    all.insert(all.end(), {kFill, kFill, kFill});
    const Bytes wake = WakeUpRequest();
    all.insert(all.end(), wake.begin(), wake.end());
    Bytes out;
    for (const uint8_t byte : all) {
        const Bytes got = h.send({byte});
        out.insert(out.end(), got.begin(), got.end());
    }
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], kACK);
    EXPECT_EQ(out[1], kLF);
    EXPECT_EQ(h.printer.sequence(), 2);
}

TEST(SimLink, ResetAndControlBytesCutAFrameOff) {
    PrinterHarness h;
    Bytes cut = {kLF, 'A', ';', kDC3, kDC3, kDC3};
    EXPECT_TRUE(h.send(cut).empty());
    EXPECT_EQ(h.last("discarded").str("reason"), "interrupted");
    EXPECT_EQ(h.last("discarded").text(), "A;");
    EXPECT_EQ(h.last("reset").kind(), "reset");
    // A new LF restarts the frame; the broken start is dropped.
    Bytes restarted = {kLF, 'Z', 'Z'};
    const Bytes frame = FrameOf("A;;;X;");
    restarted.insert(restarted.end(), frame.begin(), frame.end());
    EXPECT_EQ(h.send(restarted), Bytes{kACK});
    // Two DC3 are no reset; the third after other bytes starts counting again.
    PrinterHarness k;
    k.send({kDC3, kDC3, 'x', kDC3});
    EXPECT_EQ(k.last("reset").kind(), "");
}

TEST(SimLink, OverlongFrameIsDiscarded) {
    PrinterHarness h;
    const std::string text = "X;" + std::string(1500, 'A') + ";;;;;";
    EXPECT_TRUE(h.command(text).empty());
    EXPECT_EQ(h.last("discarded").str("reason"), "too long");
    EXPECT_EQ(h.printer.sequence(), 1);
    // The rest of it is noise, and the link works on.
    h.printer.flush();
    EXPECT_GT(h.last("noise").integer("bytes"), 80);
    EXPECT_EQ(h.command("A;;;X;"), Bytes{kACK});
    // Five full rows of free text are still a frame.
    PrinterHarness k;
    std::string rows = "X;";
    for (int row = 0; row < 5; ++row) {
        rows += std::string(254, 'A') + ";";
    }
    EXPECT_EQ(k.command(rows).size(), 1U);
}

TEST(SimLink, GarbageNeverBreaksTheLink) {
    PrinterHarness h;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        Bytes junk(static_cast<std::size_t>(byte(random)) + 1);
        for (auto& b : junk) {
            b = static_cast<uint8_t>(byte(random));
        }
        h.send(junk);
    }
    // After a reset the printer answers as ever.
    const Bytes answer = h.send(kReset + WakeUpRequest());
    ASSERT_GE(answer.size(), 4U);
    EXPECT_EQ(answer[0], kLF);
    for (const auto& entry : h.journal()) {
        EXPECT_FALSE(entry.kind().empty());
    }
}

TEST(SimLink, NoiseIsJournalledOnceWithItsCount) {
    PrinterHarness h;
    h.send(ToBytes("hello"));
    EXPECT_TRUE(h.wake().size() > 0);
    const auto noise = h.last("noise");
    EXPECT_EQ(noise.text(), "hello");
    EXPECT_EQ(noise.integer("bytes"), 5);
}

}  // namespace
}  // namespace tallix::test
