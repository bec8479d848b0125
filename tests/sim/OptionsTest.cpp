#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace tallix {
namespace {

std::optional<SimOptions> Parse(const std::vector<std::string>& args) {
    std::string error;
    return ParseSimOptions(args, error);
}

TEST(SimOptions, Defaults) {
    const auto o = Parse({});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->printer.serial, "VX37000001");
    EXPECT_EQ(o->printer.serial.size(), 10U);
    EXPECT_EQ(o->printer.logicalId, 1);
    EXPECT_EQ(o->printer.sequence, 1);
    EXPECT_EQ(o->baud, 0);
    EXPECT_EQ(o->lineSpeed(), 9600);
    EXPECT_FALSE(o->faults.dropAck.enabled());
    EXPECT_EQ(o->faults.hangupAfter, -1);
}

TEST(SimOptions, EveryOptionReachesItsField) {
    const auto o = Parse({"--link",
                          "/tmp/p",
                          "--serial=AB1",
                          "--logical-id",
                          "7",
                          "--sequence",
                          "-5",
                          "--baud",
                          "9600",
                          "--delay-ms",
                          "30",
                          "--drop-ack",
                          "2",
                          "--drop-ack-every",
                          "5",
                          "--drop-frames",
                          "1",
                          "--drop-frame-every",
                          "4",
                          "--corrupt-answers",
                          "3",
                          "--corrupt-answer-every",
                          "6",
                          "--noise",
                          "9",
                          "--noise-answers",
                          "2",
                          "--mute-after",
                          "4",
                          "--mute-after-wakeups",
                          "8",
                          "--freeze-sequence",
                          "--hangup-after",
                          "3",
                          "--mute"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->link, "/tmp/p");
    EXPECT_EQ(o->printer.serial, "AB1");
    EXPECT_EQ(o->printer.logicalId, 7);
    EXPECT_EQ(o->printer.sequence, -5);
    EXPECT_EQ(o->baud, 9600);
    EXPECT_EQ(o->faults.delayMs, 30);
    EXPECT_EQ(o->faults.dropAck.next, 2);
    EXPECT_EQ(o->faults.dropAck.every, 5);
    EXPECT_EQ(o->faults.dropFrame.next, 1);
    EXPECT_EQ(o->faults.dropFrame.every, 4);
    EXPECT_EQ(o->faults.corruptAnswer.next, 3);
    EXPECT_EQ(o->faults.corruptAnswer.every, 6);
    EXPECT_EQ(o->faults.noiseBytes, 9);
    EXPECT_EQ(o->faults.noiseAnswer.next, 2);
    EXPECT_EQ(o->faults.muteAfterCommands, 4);
    EXPECT_EQ(o->faults.muteAfterWakeups, 8);
    EXPECT_TRUE(o->faults.freezeSequence);
    EXPECT_TRUE(o->faults.mute);
    EXPECT_EQ(o->faults.hangupAfter, 3);
}

TEST(SimOptions, JitterBoundsAndSeed) {
    const auto o = Parse({"--jitter-ms=0,600", "--seed", "42"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->faults.jitterMinMs, 0);
    EXPECT_EQ(o->faults.jitterMaxMs, 600);
    EXPECT_EQ(o->faults.seed, 42U);
    const auto fixed = Parse({"--jitter-ms", "250,250"});
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->faults.jitterMinMs, 250);
    EXPECT_EQ(fixed->faults.jitterMaxMs, 250);
    EXPECT_EQ(Parse({})->faults.jitterMaxMs, 0);
}

TEST(SimOptions, BadValuesAreRefused) {
    std::string error;
    EXPECT_FALSE(ParseSimOptions({"--logical-id", "100"}, error));
    EXPECT_NE(error.find("--logical-id"), std::string::npos);
    EXPECT_FALSE(Parse({"--logical-id", "1x"}));
    EXPECT_FALSE(Parse({"--drop-ack", "-1"}));
    EXPECT_FALSE(Parse({"--drop-ack-every", "0"}));
    EXPECT_FALSE(Parse({"--hangup-after", "0"}));
    EXPECT_FALSE(Parse({"--serial", "A;B"}));
    EXPECT_FALSE(Parse({"--noise-answers", "2"}));  // without --noise
    EXPECT_FALSE(Parse({"--link"}));
    EXPECT_FALSE(Parse({"--bogus"}));
    EXPECT_FALSE(Parse({"--mute=1"}));
    EXPECT_FALSE(Parse({"--jitter-ms", "100"}));      // needs both bounds
    EXPECT_FALSE(Parse({"--jitter-ms", "300,100"}));  // upper below lower
    EXPECT_FALSE(Parse({"--jitter-ms", "-1,100"}));
    EXPECT_FALSE(Parse({"--jitter-ms", "0,600001"}));
    EXPECT_FALSE(Parse({"--jitter-ms", "0,"}));
    EXPECT_FALSE(Parse({"--seed", "-3"}));
    // A sequence beyond 32 bits saturates.
    EXPECT_EQ(Parse({"--sequence", "99999999999"})->printer.sequence, INT32_MAX);
}

// Every form of every counted fault, and the values of the new faults.
TEST(SimOptions, CountedFormsAndTheAnswerAndCounterFaults) {
    const auto o = Parse({"--drop-ack-at",
                          "2,7",
                          "--drop-frame-chance",
                          "15",
                          "--refuse-frames",
                          "1",
                          "--refuse-frame-every",
                          "4",
                          "--corrupt-answer-at",
                          "3",
                          "--drop-answer-every",
                          "20",
                          "--drop-answers",
                          "2",
                          "--double-answer-at",
                          "5",
                          "--double-gap-ms",
                          "3500",
                          "--false-answer-chance",
                          "30",
                          "--false-answer-ms=0,400",
                          "--set-sequence-at",
                          "3,1",
                          "--sequence-lag-ms",
                          "300",
                          "--seed",
                          "11"});
    ASSERT_TRUE(o);
    const FaultSettings& f = o->faults;
    EXPECT_EQ(f.dropAck.at, (std::vector<int64_t>{2, 7}));
    EXPECT_EQ(f.dropFrame.percent, 15);
    EXPECT_EQ(f.refuseFrame.next, 1);
    EXPECT_EQ(f.refuseFrame.every, 4);
    EXPECT_EQ(f.corruptAnswer.at, (std::vector<int64_t>{3}));
    EXPECT_EQ(f.dropAnswer.every, 20);
    EXPECT_EQ(f.dropAnswer.next, 2);
    EXPECT_EQ(f.doubleAnswer.at, (std::vector<int64_t>{5}));
    EXPECT_EQ(f.doubleGapMs, 3500);
    EXPECT_EQ(f.falseAnswer.percent, 30);
    EXPECT_EQ(f.falseMinMs, 0);
    EXPECT_EQ(f.falseMaxMs, 400);
    EXPECT_EQ(f.setSequenceAt, 3);
    EXPECT_EQ(f.setSequenceTo, 1);
    EXPECT_EQ(f.sequenceLagMs, 300);
    EXPECT_EQ(f.seed, 11U);
    // Off unless asked for.
    const auto plain = Parse({});
    EXPECT_FALSE(plain->faults.refuseFrame.enabled());
    EXPECT_FALSE(plain->faults.dropAnswer.enabled());
    EXPECT_FALSE(plain->faults.doubleAnswer.enabled());
    EXPECT_FALSE(plain->faults.falseAnswer.enabled());
    EXPECT_EQ(plain->faults.setSequenceAt, 0);
    EXPECT_EQ(plain->faults.sequenceLagMs, 0);
}

TEST(SimOptions, BadValuesOfTheNewFaultsAreRefused) {
    EXPECT_FALSE(Parse({"--drop-ack-at", "0"}));  // events count from 1
    EXPECT_FALSE(Parse({"--drop-ack-at", "2,"}));
    EXPECT_FALSE(Parse({"--drop-ack-at", ",2"}));
    EXPECT_FALSE(Parse({"--drop-answer-chance", "101"}));
    EXPECT_FALSE(Parse({"--drop-answer-every", "0"}));
    EXPECT_FALSE(Parse({"--double-gap-ms", "-1"}));
    EXPECT_FALSE(Parse({"--false-answer-ms", "400,100"}));
    EXPECT_FALSE(Parse({"--set-sequence-at", "3"}));  // needs the value
    EXPECT_FALSE(Parse({"--set-sequence-at", "0,1"}));
    EXPECT_FALSE(Parse({"--sequence-lag-ms", "x"}));
    EXPECT_FALSE(Parse({"--noise-at", "1"}));  // noise has its own forms
    // A counter may be set to any 32-bit value, below the first one too.
    EXPECT_EQ(Parse({"--set-sequence-at", "1,-7"})->faults.setSequenceTo, -7);
}

}  // namespace
}  // namespace tallix
