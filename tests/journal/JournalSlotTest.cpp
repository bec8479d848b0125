// The journal file's bytes: round trips, damaged slots, and writes cut off at every byte.

#include <gtest/gtest.h>

#include <xxhash.h>

#include <cstdio>

#include "journal/JournalSlot.h"

namespace tallix {
namespace {

JournalRecord Record(uint64_t generation, uint64_t nextLine, int32_t sequence, bool inFlight,
                     bool finished = false) {
    JournalRecord record;
    record.generation = generation;
    record.printer = "VX37000001";
    record.state.job = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n");
    record.state.nextLine = nextLine;
    record.state.sequence = sequence;
    record.state.inFlight = inFlight;
    record.state.finished = finished;
    return record;
}

// A file with record a in its slot and, when given, record b in the other.
std::string FileOf(const JournalRecord& a, const JournalRecord* b = nullptr) {
    std::string bytes = BlankSlot() + BlankSlot();
    bytes.replace(SlotOffset(a.generation), kSlotSize, EncodeSlot(a));
    if (b != nullptr) {
        bytes.replace(SlotOffset(b->generation), kSlotSize, EncodeSlot(*b));
    }
    return bytes;
}

TEST(JournalSlot, RoundTripsEveryField) {
    for (const JournalRecord& record :
         {Record(1, 0, 1, false), Record(2, 7, -5, true),
          Record(18446744073709551615ULL, 1u << 31, 2147483647, false, true),
          Record(4, 3, -2147483647 - 1, false)}) {
        const std::string slot = EncodeSlot(record);
        ASSERT_EQ(slot.size(), kSlotSize);
        EXPECT_EQ(slot.back(), '\n');
        const std::optional<JournalRecord> back = DecodeSlot(slot);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->generation, record.generation);
        EXPECT_EQ(back->printer, record.printer);
        EXPECT_EQ(back->state, record.state);
    }
}

TEST(JournalSlot, KeepsWhetherTheLineWasLeftCleanAndHowSlowThePrinterIs) {
    JournalRecord record = Record(5, 11, 1043, false, true);
    record.state.lineClean = true;
    record.state.slowestMs = 2600;
    const std::string slot = EncodeSlot(record);
    EXPECT_NE(slot.find(" finished=1 clean=1 slowest-ms=2600 check="), std::string::npos) << slot;
    const std::optional<JournalRecord> back = DecodeSlot(slot);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->state, record.state);
    record.state.slowestMs = -1;
    EXPECT_FALSE(DecodeSlot(EncodeSlot(record)));
}

// A slot written before the line's state was kept: read, as a line not known to be clean.
TEST(JournalSlot, ReadsARecordWithoutTheLineState) {
    const std::string body = "tallix-job-journal 1 gen=7 printer=VX37000001 job=" +
                             IdentityText(IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n")) +
                             " next=12 seq=1043 in-flight=0 finished=1";
    JournalRecord record = Record(7, 12, 1043, false, true);
    record.state.job = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n");
    record.state.lineClean = true;
    const std::string modern = EncodeSlot(record);
    ASSERT_EQ(modern.rfind(body, 0), 0u);
    // The old form: the same fields, checked and padded the same way.
    std::string old = body;
    old += " check=";
    char check[17];
    (void)std::snprintf(check, sizeof check, "%016llx",
                        static_cast<unsigned long long>(XXH3_64bits(body.data(), body.size())));
    old += check;
    old.resize(kSlotSize - 1, ' ');
    old.push_back('\n');
    const std::optional<JournalRecord> back = DecodeSlot(old);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->state.lineClean);
    EXPECT_EQ(back->state.slowestMs, 0);
    EXPECT_EQ(back->state.sequence, 1043);
}

TEST(JournalSlot, IsOneReadableLine) {
    const std::string slot = EncodeSlot(Record(7, 12, 1043, true));
    EXPECT_EQ(slot.rfind("tallix-job-journal 1 gen=7 printer=VX37000001 job=", 0), 0u) << slot;
    EXPECT_NE(slot.find(" next=12 seq=1043 in-flight=1 finished=0 clean=0 slowest-ms=0 check="),
              std::string::npos);
    EXPECT_EQ(slot.find('\n'), kSlotSize - 1);
}

TEST(JournalSlot, AnyChangedByteMakesTheSlotInvalid) {
    const std::string slot = EncodeSlot(Record(3, 5, 40, true));
    for (std::size_t i = 0; i < slot.size(); ++i) {
        std::string damaged = slot;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x01);
        EXPECT_FALSE(DecodeSlot(damaged)) << "byte " << i;
    }
    EXPECT_FALSE(DecodeSlot(slot.substr(0, kSlotSize - 1)));
    EXPECT_FALSE(DecodeSlot(BlankSlot()));
}

TEST(JournalSlot, RefusesWhatItNeverWrites) {
    JournalRecord both = Record(3, 5, 40, true, true);
    EXPECT_FALSE(DecodeSlot(EncodeSlot(both)));
    JournalRecord longName = Record(1, 0, 0, false);
    longName.printer = std::string(200, 'A');
    EXPECT_EQ(EncodeSlot(longName), "");
}

TEST(JournalFile, TakesTheNewestOfTwoConsecutiveRecords) {
    const JournalRecord older = Record(4, 2, 10, true);
    const JournalRecord newer = Record(5, 3, 11, true);
    const JournalContent content = DecodeJournal(FileOf(older, &newer), "VX37000001");
    ASSERT_TRUE(content.record) << content.problem;
    EXPECT_EQ(content.record->generation, 5u);
    EXPECT_EQ(content.record->state, newer.state);
}

TEST(JournalFile, AWriteCutOffAtAnyByteLeavesTheStateBeforeOrAfterIt) {
    const JournalRecord oldest = Record(7, 3, 19, true);
    const JournalRecord before = Record(8, 4, 20, true);
    const JournalRecord after = Record(9, 6, 21, true);
    const std::string old = FileOf(oldest, &before);
    // The write of generation 9 replaces generation 7's slot byte by byte; a kill may stop it
    // anywhere.
    const std::string slot = EncodeSlot(after);
    const std::string replaced = old.substr(SlotOffset(after.generation), kSlotSize);
    std::size_t lastDifference = kSlotSize;
    while (lastDifference > 0 && slot[lastDifference - 1] == replaced[lastDifference - 1]) {
        --lastDifference;
    }
    for (std::size_t cut = 0; cut <= kSlotSize; ++cut) {
        std::string bytes = old;
        bytes.replace(SlotOffset(after.generation), cut, slot.substr(0, cut));
        const JournalContent content = DecodeJournal(bytes, "VX37000001");
        ASSERT_TRUE(content.record) << "cut at " << cut << ": " << content.problem;
        // Once every byte that differs is in place, the rest (padding) is already there.
        EXPECT_EQ(content.record->state, cut >= lastDifference ? after.state : before.state)
            << "cut at " << cut;
    }
}

TEST(JournalFile, DamageBeyondOneSlotCountsAsNoJournal) {
    const JournalRecord a = Record(4, 2, 10, true);
    const JournalRecord b = Record(5, 3, 11, true);
    const JournalRecord far = Record(7, 3, 11, true);
    const std::string good = FileOf(a, &b);

    EXPECT_FALSE(DecodeJournal("", "VX37000001").record);
    EXPECT_FALSE(DecodeJournal(good.substr(0, kSlotSize), "VX37000001").record);
    EXPECT_FALSE(DecodeJournal(good + "x", "VX37000001").record);
    EXPECT_FALSE(DecodeJournal(BlankSlot() + BlankSlot(), "VX37000001").record);
    EXPECT_FALSE(DecodeJournal(std::string(kJournalFileSize, '\0'), "VX37000001").record);
    // Both slots damaged.
    std::string both = good;
    both[10] = 'X';
    both[kSlotSize + 10] = 'X';
    EXPECT_FALSE(DecodeJournal(both, "VX37000001").record);
    // Generations that cannot follow each other, or a record in the wrong slot.
    EXPECT_FALSE(DecodeJournal(FileOf(far, &a), "VX37000001").record);
    std::string swapped = EncodeSlot(b) + EncodeSlot(a);
    EXPECT_FALSE(DecodeJournal(swapped, "VX37000001").record);
    // Another printer's journal.
    const JournalContent other = DecodeJournal(good, "VX37000002");
    EXPECT_FALSE(other.record);
    EXPECT_NE(other.problem.find("VX37000001"), std::string::npos);
}

}  // namespace
}  // namespace tallix
