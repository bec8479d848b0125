// A frame is sent again only on evidence that the printer did not execute it, and counts as
// executed only on evidence that it did: a scripted printer that answers twice, sends noise
// shaped like an answer, drops a checksum byte, or whose counter goes back or moves late.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "protocol/CashRegManager.h"
#include "tests/protocol/RawPrinter.h"
#include "tests/protocol/RawPrinterLink.h"
#include "tests/protocol/SimLink.h"

namespace tallix {
namespace {

using test::Bytes;
using test::RawPrinter;

class LinkEvidence : public test::RawPrinterLink {
  protected:
    // Every wake-up answer is followed by the one before it given again.
    void AnswerTwice() {
        printer.onWakeUp([previous = Bytes()](int, const std::string&, int& sequence) mutable {
            const Bytes answer = RawPrinter::DefaultAnswer(sequence);
            const Bytes both = RawPrinter::Concat({answer, previous});
            previous = answer;
            return both;
        });
    }

    // Each frame is answered with frameReply, and the counter moves only when its printing
    // ends, 300 ms later: the answers right after the frame still show the old counter.
    void CounterMovesLate(const Bytes& frameReply) {
        using Clock = std::chrono::steady_clock;
        printer.onFrame([this, frameReply](int, const std::string&, int&) {
            printed_ = Clock::now() + std::chrono::milliseconds(300);
            return frameReply;
        });
        printer.onWakeUp([this](int, const std::string&, int& sequence) {
            if (printed_ && Clock::now() >= *printed_) {
                printed_.reset();
                ++sequence;
            }
            return RawPrinter::DefaultAnswer(sequence);
        });
    }

  private:
    std::optional<std::chrono::steady_clock::time_point> printed_;
};

TEST_F(LinkEvidence, AnswersGivenTwiceNeverBringAnExecutedFrameAgain) {
    AnswerTwice();
    printer.onFrame([](int, const std::string&, int& sequence) {
        ++sequence;
        return Bytes{};  // executed, ACK lost
    });
    EXPECT_TRUE(Send("X;ONCE;;;;;"));
    EXPECT_TRUE(Send("X;TWICE;;;;;"));
    EXPECT_EQ(printer.frames(), 2);
    EXPECT_EQ(printer.sequence(), 3);
}

TEST_F(LinkEvidence, AnswersGivenTwiceNeverMakeARefusedFrameExecuted) {
    AnswerTwice();
    printer.onFrame([](int index, const std::string&, int& sequence) {
        sequence += index == 0 ? 1 : 0;  // the second command is refused
        return Bytes{0x06};
    });
    EXPECT_TRUE(Send("X;FIRST;;;;;"));
    EXPECT_FALSE(Send("X;REFUSED;;;;;"));
    EXPECT_EQ(printer.frames(), 2);
    EXPECT_EQ(link.lastSequence(), 2);
}

// Instead of the ACK, bytes shaped like an answer with a moved counter and a wrong checksum: the
// frame was lost, and only a valid answer may say otherwise.
TEST_F(LinkEvidence, NoiseShapedLikeAMovedAnswerIsNoEvidence) {
    printer.onFrame([](int index, const std::string&, int& sequence) {
        if (index == 0) {
            return RawPrinter::AnswerFrame("TX00000001;99;", false);
        }
        ++sequence;
        return Bytes{0x06};
    });
    EXPECT_TRUE(Send("X;LOST ONCE;;;;;"));
    EXPECT_EQ(printer.frames(), 2);
    EXPECT_EQ(printer.sequence(), 2);
    EXPECT_EQ(link.lastSequence(), 2);
}

// The printer lost the frame and came back with a lower counter: nothing shows the frame
// executed, nor that it was not. It is not sent again and does not count.
TEST_F(LinkEvidence, ACounterThatWentBackIsNoEvidenceEitherWay) {
    for (const bool acknowledged : {false, true}) {
        printer.onFrame([acknowledged](int, const std::string&, int& sequence) {
            --sequence;
            return acknowledged ? Bytes{0x06} : Bytes{};
        });
        const int before = printer.sequence();
        EXPECT_FALSE(Send("X;GONE;;;;;")) << acknowledged;
        EXPECT_EQ(printer.frames(), acknowledged ? 2 : 1);
        EXPECT_EQ(link.lastSequence(), before - 1) << acknowledged;
    }
}

// The counter moves only when printing ends, after the answers right after the frame were
// given; the ACK is lost. The frame is not sent again.
TEST_F(LinkEvidence, ACounterThatMovesLateWithALostAckBringsNoSecondFrame) {
    CounterMovesLate(Bytes{});
    EXPECT_TRUE(Send("X;SLOW PRINT;;;;;"));
    EXPECT_EQ(printer.frames(), 1);
    EXPECT_EQ(printer.sequence(), 2);
}

// The same with the ACK: the first answers after it still show the old counter, and the
// command is not reported as failed for that.
TEST_F(LinkEvidence, ACounterThatMovesLateAfterTheAckStillConfirms) {
    CounterMovesLate(Bytes{0x06});
    EXPECT_TRUE(Send("X;SLOW PRINT;;;;;"));
    EXPECT_EQ(printer.frames(), 1);
    EXPECT_EQ(link.lastSequence(), 2);
}

// An answer whose second checksum byte never comes is spoiled: it is not read as 0xFF, nor as
// anything else that could happen to match.
TEST_F(LinkEvidence, AMissingChecksumByteSpoilsTheAnswer) {
    // A text whose checksum a missing low byte read as -1 would have matched.
    std::string text;
    Bytes frame;
    for (int n = 0; n < 100000 && frame.empty(); ++n) {
        text = "TX00000001;" + std::to_string(n) + ";";
        const Bytes full = RawPrinter::AnswerFrame(text);
        const uint8_t high = full[full.size() - 2];
        if (high < 0xFF && full.back() == 0xFF) {
            frame.assign(full.begin(), full.end() - 2);
            frame.push_back(static_cast<uint8_t>(high + 1));
        }
    }
    ASSERT_FALSE(frame.empty());
    printer.onWakeUp([&frame](int, const std::string&, int&) { return frame; });
    WakeUpAnswer answer;
    EXPECT_FALSE(link.WakeUPExchange(answer));
    EXPECT_EQ(printer.wakeUps(), 3);  // asked again, like for a wrong checksum
}

// On a printer that answers 0.3 s late, a wake-up leaves a request owed. Leaving the line
// clean waits for its answer, which shows how slow the printer is; then nothing is owed.
TEST(LinkCleanClose, WaitsForOwedAnswersAndLearnsHowSlowThePrinterIs) {
    test::SimLink p({"--delay-ms", "300"});
    ASSERT_TRUE(p.opened);
    WakeUpAnswer answer;
    ASSERT_TRUE(p.link.WakeUP(answer));
    EXPECT_LT(p.link.slowestAnswer(), 0.25) << "an answer to an earlier request came in time";
    EXPECT_TRUE(p.link.LeaveLineClean());
    EXPECT_GE(p.link.slowestAnswer(), 0.25);
    const std::size_t answered = p.Entries("wakeup").size();
    EXPECT_TRUE(p.link.LeaveLineClean());
    EXPECT_EQ(p.Entries("wakeup").size(), answered);
}

// A link that may have inherited answers owed to an earlier run settles before its frame, and
// then decides on fresh answers only.
TEST(LinkCleanClose, SettlingBeforeTheFrameTakesOnlyFreshAnswers) {
    test::SimLink p({"--delay-ms", "300"});
    ASSERT_TRUE(p.opened);
    p.link.settleBeforeNextFrame();
    EXPECT_TRUE(p.Send("X;AFTER SETTLE;;;;;"));
    EXPECT_EQ(p.sim.executedCommands(), std::vector<std::string>{"X;AFTER SETTLE;;;;;"});
    EXPECT_TRUE(p.link.LeaveLineClean());
}

}  // namespace
}  // namespace tallix
