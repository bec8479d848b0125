// A printer whose wake-up answers come late, scripted on a pseudo-terminal: each request is
// answered with the answer it owes to an earlier one. An answer given before a frame must
// never make the frame be sent again.

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "protocol/CashRegManager.h"
#include "tests/protocol/RawPrinter.h"
#include "tests/protocol/RawPrinterLink.h"

namespace tallix {
namespace {

using test::Bytes;
using test::RawPrinter;

class LinkLateAnswer : public test::RawPrinterLink {
  protected:
    // Answers every wake-up request one request late: the first gets nothing, each later one
    // the answer owed to the one before, with the counter as it stood when that one came.
    void AnswerOneLate() {
        printer.onWakeUp(
            [owed = std::deque<int>()](int, const std::string&, int& sequence) mutable {
                owed.push_back(sequence);
                if (owed.size() < 2) {
                    return Bytes{};
                }
                const int given = owed.front();
                owed.pop_front();
                return RawPrinter::DefaultAnswer(given);
            });
    }
};

// Frame executed, ACK lost; the next answer was given before the frame and shows the old
// counter. It is passed over; the one after it shows the moved counter.
TEST_F(LinkLateAnswer, StaleAnswerAfterAMissingAckDoesNotBringTheFrameAgain) {
    AnswerOneLate();
    printer.onFrame([](int, const std::string&, int& sequence) {
        ++sequence;
        return Bytes{};
    });
    EXPECT_TRUE(Send("X;ONCE;;;;;"));
    EXPECT_EQ(printer.frames(), 1);
    EXPECT_EQ(printer.sequence(), 2);
    EXPECT_EQ(link.lastSequence(), 2);
}

// The first frame is lost. The stale answer is passed over; the answer given after the frame
// shows the old counter, so the frame goes once more; the closing wake-up waits for an answer
// given after the second frame.
TEST_F(LinkLateAnswer, FreshAnswerWithTheOldCounterBringsExactlyOneResend) {
    AnswerOneLate();
    printer.onFrame([](int index, const std::string&, int& sequence) {
        if (index == 0) {
            return Bytes{};
        }
        ++sequence;
        return Bytes{0x06};
    });
    EXPECT_TRUE(Send("X;LOST ONCE;;;;;"));
    EXPECT_EQ(printer.frames(), 2);
    EXPECT_EQ(printer.sequence(), 2);
    // Before the frame 2, after the first frame 2 (one stale), closing 2 (one stale).
    EXPECT_EQ(printer.wakeUps(), 6);
}

// The printer never answers the first request at all: by the counts, every later answer looks
// one request older than it is. An answer that shows a moved counter was still given after the
// frame, and ends the loop at once.
TEST_F(LinkLateAnswer, MovedCounterInAnAnswerThatLooksStaleEndsTheLoop) {
    printer.onWakeUp([](int index, const std::string&, int& sequence) {
        return index == 0 ? Bytes{} : RawPrinter::DefaultAnswer(sequence);
    });
    printer.onFrame([](int, const std::string&, int& sequence) {
        ++sequence;
        return Bytes{};
    });
    EXPECT_TRUE(Send("X;ACK LOST;;;;;"));
    EXPECT_EQ(printer.frames(), 1);
    // Two before the frame, one after the missing ACK, one closing.
    EXPECT_EQ(printer.wakeUps(), 4);
}

// The first request of a new link goes unanswered (the printer missed it, or its answer was
// the one an earlier run was still owed). Once the line has settled, that request counts as
// lost, so the next wake-up trusts the first answer it gets and costs one request, not two.
TEST_F(LinkLateAnswer, SettledLineTrustsTheNextAnswerAtOnce) {
    printer.onWakeUp([](int index, const std::string&, int& sequence) {
        return index == 0 ? Bytes{} : RawPrinter::DefaultAnswer(sequence);
    });
    WakeUpAnswer answer;
    ASSERT_TRUE(link.WakeUP(answer));
    ASSERT_EQ(printer.wakeUps(), 2);
    ASSERT_TRUE(link.Settle());
    ASSERT_TRUE(link.WakeUP(answer));
    EXPECT_EQ(printer.wakeUps(), 3);
    EXPECT_EQ(link.lastSequence(), 1);
}

}  // namespace
}  // namespace tallix
