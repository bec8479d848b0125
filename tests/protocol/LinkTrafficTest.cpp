// The host's bytes on the line, checked against a scripted printer on a pseudo-terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "protocol/CashRegManager.h"
#include "tests/protocol/RawPrinter.h"
#include "tests/protocol/RawPrinterLink.h"

namespace tallix {
namespace {

using test::Bytes;
using test::kNoMap;
using test::RawPrinter;

// What the host sends for one wake-up with reset that the printer answers at once.
Bytes WakeUpWithReset(const std::string& id) {
    return RawPrinter::Concat(
        {RawPrinter::Repeat(0xFF, 5),
         {0x13, 0x13, 0x13},
         RawPrinter::Repeat(0xFF, 5),
         RawPrinter::Repeat(0xFF, 10),
         {0xFF, 0x11, 0x11, static_cast<uint8_t>(id[0]), static_cast<uint8_t>(id[1])},
         {0x06, 0xFF}});
}

class LinkTraffic : public test::RawPrinterLink {
  protected:
    // Waits for what the host has written to reach the printer.
    Bytes Received(std::size_t expected) {
        printer.waitForBytes(expected);
        return printer.received();
    }
};

TEST_F(LinkTraffic, WakeUpWithResetSendsExactBytes) {
    WakeUpAnswer answer;
    ASSERT_TRUE(link.WakeUP(answer));
    const Bytes expected = WakeUpWithReset("05");
    EXPECT_EQ(Received(expected.size()), expected);
    EXPECT_EQ(std::string(answer.serialNumber, 10), "TX00000001");
    EXPECT_EQ(answer.sequence, 1);
}

TEST_F(LinkTraffic, CommandExchangeSendsExactBytes) {
    const std::string text = "A;;;X;";
    ASSERT_TRUE(link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()), 6));
    const Bytes expected =
        RawPrinter::Concat({WakeUpWithReset("05"),
                            RawPrinter::Repeat(0xFF, 10),
                            {0x0A, 0x41, 0x3B, 0x3B, 0x3B, 0x58, 0x3B, 0x0D, 0xC0, 0x44},
                            RawPrinter::Repeat(0xFF, 5),
                            WakeUpWithReset("05")});
    EXPECT_EQ(Received(expected.size()), expected);
    EXPECT_EQ(printer.frames(), 1);
    EXPECT_EQ(printer.sequence(), 2);
}

TEST_F(LinkTraffic, DeliveryCarriesTheCountersAndLastSequenceFollows) {
    EXPECT_FALSE(link.lastSequence().has_value());
    printer.onFrame([](int index, const std::string&, int& sequence) {
        if (index == 0) {
            return Bytes{};  // lost: no ACK, not executed
        }
        ++sequence;
        return Bytes{0x06};
    });
    const std::string text = "X;ONE;;;;;";
    const WakeOutcome woken = link.Wake();
    ASSERT_TRUE(woken);
    EXPECT_EQ(woken.answer->sequence, 1);
    EXPECT_EQ(printer.frames(), 0);
    const DeliveryOutcome delivered =
        link.Deliver(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()),
                     true, woken.answer->sequence);
    EXPECT_EQ(delivered.delivery, Delivery::kExecuted);
    EXPECT_EQ(delivered.sequenceBefore, 1);
    EXPECT_EQ(delivered.sequenceAfter, 2);
    EXPECT_EQ(printer.frames(), 2);
    EXPECT_EQ(link.lastSequence(), 2);

    WakeUpAnswer answer;
    printer.onWakeUp([](int, const std::string&, int&) { return RawPrinter::DefaultAnswer(9); });
    ASSERT_TRUE(link.WakeUP(answer));
    EXPECT_EQ(link.lastSequence(), 9);
}

// A frame goes out only right after the wake-up that read the counter it is given: a second
// delivery, or one given another counter, sends nothing.
TEST_F(LinkTraffic, DeliverSendsNothingWithoutItsWakeUp) {
    const std::string text = "X;ONE;;;;;";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int length = static_cast<int>(text.size());
    EXPECT_EQ(link.Deliver(bytes, length, true, 1).failure, DeliveryFailure::kNotWoken);
    const WakeOutcome woken = link.Wake();
    ASSERT_TRUE(woken);
    EXPECT_EQ(link.Deliver(bytes, length, true, woken.answer->sequence + 1).delivery,
              Delivery::kNotExecuted);
    EXPECT_EQ(printer.frames(), 0);
    ASSERT_TRUE(link.Wake());
    EXPECT_TRUE(link.Deliver(bytes, length, true, woken.answer->sequence).executed());
    const DeliveryOutcome again = link.Deliver(bytes, length, true, woken.answer->sequence + 1);
    EXPECT_EQ(again.failure, DeliveryFailure::kNotWoken);
    EXPECT_EQ(printer.frames(), 1);
}

TEST(LinkLogicalId, RequestCarriesTheFirstTwoDigits) {
    for (const auto& [id, digits] : {std::pair{5, "05"}, {0, "00"}, {123, "12"}, {47, "47"}}) {
        RawPrinter printer;
        CashRegManager link;
        ASSERT_TRUE(link.Open(printer.path(), 19200));
        link.InitializeCR(id, kNoMap, 15);
        WakeUpAnswer answer;
        ASSERT_TRUE(link.WakeUP(answer)) << id;
        const Bytes expected = WakeUpWithReset(digits);
        printer.waitForBytes(expected.size());
        EXPECT_EQ(printer.received(), expected) << id;
        link.Close();
    }
}

TEST_F(LinkTraffic, TenCharacterSerialFillsAllTenBytes) {
    printer.onWakeUp(
        [](int, const std::string&, int&) { return RawPrinter::AnswerFrame("ABCDEFGHIJ;17;"); });
    WakeUpAnswer answer;
    ASSERT_TRUE(link.WakeUP(answer));
    EXPECT_EQ(std::string(answer.serialNumber, 10), "ABCDEFGHIJ");
    EXPECT_EQ(answer.sequence, 17);
}

TEST_F(LinkTraffic, MissingSequenceFailsTheExchangeAndWakeUpRepeats) {
    printer.onWakeUp([](int index, const std::string&, int&) {
        return RawPrinter::AnswerFrame(index < 2 ? "ABCDEFGHIJ;17" : "ABCDEFGHIJ;18;");
    });
    WakeUpAnswer answer;
    EXPECT_FALSE(link.WakeUPExchange(answer));
    EXPECT_EQ(printer.wakeUps(), 1);  // no second request within the exchange
    ASSERT_TRUE(link.WakeUP(answer));
    EXPECT_EQ(printer.wakeUps(), 3);
    EXPECT_EQ(answer.sequence, 18);
    // One reset for the whole WakeUP, and an ACK for every answer with a good checksum:
    // 17 bytes for each exchange, 13 for the reset.
    const Bytes received = Received(3 * 17 + 13);
    EXPECT_EQ(received.size(), 3U * 17 + 13);
    EXPECT_EQ(std::count(received.begin(), received.end(), 0x13), 3);
    EXPECT_EQ(std::count(received.begin(), received.end(), 0x06), 3);
}

// A printer whose answers never carry the counter is told apart from silence and noise.
TEST_F(LinkTraffic, AnswersWithoutTheCounterFailTheWakeUpWithThatReason) {
    printer.onWakeUp(
        [](int, const std::string&, int&) { return RawPrinter::AnswerFrame("ABCDEFGHIJ"); });
    const WakeOutcome woken = link.Wake();
    EXPECT_FALSE(woken);
    EXPECT_EQ(woken.failure, WakeFailure::kNoCounter);
    EXPECT_EQ(link.Deliver(reinterpret_cast<const uint8_t*>("X;;;;;;"), 7, true, 0).failure,
              DeliveryFailure::kNotWoken);
    EXPECT_EQ(printer.frames(), 0);
}

TEST_F(LinkTraffic, WrongChecksumBringsANewRequestAtMostThree) {
    printer.onWakeUp([](int index, const std::string&, int& sequence) {
        return RawPrinter::AnswerFrame("TX00000001;" + std::to_string(sequence) + ";", index >= 2);
    });
    WakeUpAnswer answer;
    EXPECT_TRUE(link.WakeUPExchange(answer));
    EXPECT_EQ(printer.wakeUps(), 3);

    printer.onWakeUp([](int, const std::string&, int&) {
        return RawPrinter::AnswerFrame("TX00000001;1;", false);
    });
    EXPECT_FALSE(link.WakeUPExchange(answer));
    EXPECT_EQ(printer.wakeUps(), 6);
    // A spoiled answer is never acknowledged: ten fill bytes, then 5 for each request, and
    // 06 FF once.
    const Bytes received = Received(2 * (10 + 3 * 5) + 2);
    EXPECT_EQ(received.size(), 2U * (10 + 3 * 5) + 2);
    EXPECT_EQ(std::count(received.begin(), received.end(), 0x06), 1);
}

TEST_F(LinkTraffic, NineBytesBeforeTheLineFeedAreSkippedTenFail) {
    printer.onWakeUp([](int index, const std::string&, int&) {
        const std::size_t noise = index == 0 ? 9 : 10;
        return RawPrinter::Concat(
            {RawPrinter::Repeat('N', noise), RawPrinter::AnswerFrame("NOISY00001;4;")});
    });
    WakeUpAnswer answer;
    ASSERT_TRUE(link.WakeUPExchange(answer));
    EXPECT_EQ(answer.sequence, 4);
    EXPECT_FALSE(link.WakeUPExchange(answer));
    EXPECT_EQ(printer.wakeUps(), 2);  // fails at once, without another request
}

TEST_F(LinkTraffic, AnyOtherByteAfterTheFrameCountsAsAMissingAck) {
    printer.onFrame([](int index, const std::string&, int& sequence) {
        if (index == 0) {
            return Bytes{0x15};  // not an ACK, and the command was not taken
        }
        ++sequence;
        return Bytes{0x06};
    });
    const std::string text = "E;1;5.00;;;;";
    ASSERT_TRUE(link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                 static_cast<int>(text.size())));
    EXPECT_EQ(printer.frameTexts(), (std::vector<std::string>{text, text}));
    EXPECT_EQ(printer.wakeUps(), 3);  // first, after the missing ACK, closing
    EXPECT_EQ(printer.sequence(), 2);
}

TEST(LinkOpen, PortTextsThatNameNoPortOpenNothing) {
    CashRegManager link;
    EXPECT_FALSE(link.Open("no-such-port-name", 9600));
    EXPECT_FALSE(link.Open("/dev/no-such-node", 9600));
    WakeUpAnswer answer;
    EXPECT_FALSE(link.WakeUP(answer));
    const std::string text = "A;;;X;";
    EXPECT_FALSE(link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()), 6, false));
    link.Close();
}

TEST(LinkOpen, APortHeldByAnotherLinkCannotBeOpened) {
    RawPrinter printer;
    CashRegManager first;
    CashRegManager second;
    ASSERT_TRUE(first.Open(printer.path(), 9600));
    EXPECT_FALSE(second.Open(printer.path(), 9600));
    first.Close();
    EXPECT_TRUE(second.Open(printer.path(), 9600));
}

}  // namespace
}  // namespace tallix
