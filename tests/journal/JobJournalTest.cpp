// The job journal on disk during runs: what is written when, what a later run reads back,
// its place and modes, and every way the disk can let it down.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "journal/JobJournal.h"
#include "journal/JournalPlace.h"
#include "journal/JournalSlot.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

const JobIdentity kJobA = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n");
const JobIdentity kJobB = IdentityOf("54;TEXT;;;;\n");
constexpr uint64_t kLines = 10;
const std::string kSerial = "VX37000001";

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class JobJournalTest : public ::testing::Test {
  protected:
    std::string folder() const { return dir_.file("state/tallix"); }
    std::string file() const { return JournalPath(folder(), kSerial); }

    // A session on the test's folder that collects its notes.
    std::unique_ptr<JobJournal> Open(const std::string& where = {}) {
        notes_.clear();
        return std::make_unique<JobJournal>(
            where.empty() ? folder() : where, kSerial,
            [this](const std::string& note) { notes_ += note + "\n"; });
    }
    std::optional<JobState> SavedNow() { return Open()->saved(); }
    // The newest record's generation: how many durable writes the file has seen.
    uint64_t Writes() const {
        const JournalContent content = DecodeJournal(TempDir::ReadFile(file()), kSerial);
        return content.record ? content.record->generation : 0;
    }

    // A run of job that starts a new job at counter sequence.
    static void BeginNew(JobJournal& journal, const JobIdentity& job, int32_t sequence) {
        journal.Begin(job, PlanResume(std::nullopt, job, sequence, kLines, true), sequence);
    }
    // One line with a frame that the printer executed (counter before, counter + 1 after).
    static void ExecutedLine(JobJournal& journal, uint64_t line, int32_t before) {
        journal.LineStarting(line);
        journal.FrameComing(before);
        journal.LineDone(before + 1);
    }

    TempDir dir_;
    std::string notes_;
};

TEST_F(JobJournalTest, ANewJobIsWrittenRightBeforeItsFirstFrameInPrivateModes) {
    const mode_t oldMask = ::umask(0);
    {
        auto journal = Open();
        EXPECT_TRUE(journal->usable());
        EXPECT_FALSE(journal->saved());
        BeginNew(*journal, kJobA, 5);
        journal->LineStarting(0);
        journal->LineDone(5);  // a line that sends nothing
        journal->LineStarting(1);
        EXPECT_FALSE(::access(file().c_str(), F_OK) == 0);
        journal->FrameComing(5);
        ASSERT_EQ(TempDir::ReadFile(file()).size(), kJournalFileSize);
        EXPECT_EQ(ModeOf(folder()), 0700u);
        EXPECT_EQ(ModeOf(file()), 0600u);
    }
    ::umask(oldMask);
    const std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved) << notes_;
    EXPECT_EQ(saved->job, kJobA);
    EXPECT_EQ(saved->nextLine, 1u);
    EXPECT_EQ(saved->sequence, 5);
    EXPECT_TRUE(saved->inFlight);
    EXPECT_FALSE(saved->finished);
    EXPECT_EQ(file(), folder() + "/VX37000001.journal");
}

TEST_F(JobJournalTest, AWholeRunWritesOncePerFrameAndOnceAtTheEnd) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        ExecutedLine(*journal, 0, 5);
        journal->LineStarting(1, false);  // a line that is no printer command
        journal->LineDone(6);
        ExecutedLine(*journal, 2, 6);
        // A frame sent again for the same line at the same counter is already on record.
        journal->LineStarting(3);
        journal->FrameComing(7);
        journal->FrameComing(7);
        journal->LineDone(8);
        EXPECT_EQ(Writes(), 3u);
        journal->End(true);
    }
    EXPECT_EQ(Writes(), 4u);
    const std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->finished);
    EXPECT_FALSE(saved->inFlight);
    EXPECT_EQ(saved->nextLine, 4u);
    EXPECT_EQ(saved->sequence, 8);
}

TEST_F(JobJournalTest, ALineIsRecordedInFlightWhenItStartsAndAgainOnlyForAnotherCounter) {
    auto journal = Open();
    BeginNew(*journal, kJobA, 5);
    journal->LineStarting(0);
    EXPECT_EQ(Writes(), 0u) << "a new job is written by its first frame";
    journal->FrameComing(5);
    journal->LineDone(6);
    EXPECT_EQ(Writes(), 1u);

    // The next line is on record as soon as it starts, with the counter line 0 left...
    journal->LineStarting(1);
    EXPECT_EQ(Writes(), 2u);
    std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nextLine, 1u);
    EXPECT_EQ(saved->sequence, 6);
    EXPECT_TRUE(saved->inFlight);
    // ... so its frame costs no further write.
    journal->FrameComing(6);
    journal->LineDone(7);
    EXPECT_EQ(Writes(), 2u);

    // A printer that shows another counter before the frame gets that one on record.
    journal->LineStarting(2);
    journal->FrameComing(9);
    EXPECT_EQ(Writes(), 4u);
    saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nextLine, 2u);
    EXPECT_EQ(saved->sequence, 9);
}

TEST_F(JobJournalTest, AStopAfterAKnownOutcomeRecordsNoLineInFlight) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        ExecutedLine(*journal, 0, 5);
        journal->LineStarting(1);  // refused before anything was sent
        journal->LineFailed();
        journal->End(false);
    }
    const std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nextLine, 1u);
    EXPECT_EQ(saved->sequence, 6);
    EXPECT_FALSE(saved->inFlight);
    EXPECT_FALSE(saved->finished);
}

TEST_F(JobJournalTest, AFrameOfUnknownFateStaysInFlight) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        ExecutedLine(*journal, 0, 5);
        journal->LineStarting(1);
        journal->FrameComing(6);
        journal->LineFailed();  // no answer, or refused: the counter will tell
        journal->End(false);
    }
    EXPECT_EQ(Writes(), 2u);
    const std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nextLine, 1u);
    EXPECT_EQ(saved->sequence, 6);
    EXPECT_TRUE(saved->inFlight);
}

TEST_F(JobJournalTest, AResumedRunContinuesTheSavedJob) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        ExecutedLine(*journal, 0, 5);
        journal->LineStarting(1);
        journal->FrameComing(6);  // killed here
    }
    {
        auto journal = Open();
        ASSERT_TRUE(journal->saved());
        const ResumePlan plan = PlanResume(journal->saved(), kJobA, 7, kLines, true);
        ASSERT_TRUE(plan.resume);
        EXPECT_EQ(plan.firstLine, 2u);
        journal->Begin(kJobA, plan, 7);
        ExecutedLine(*journal, 2, 7);
        journal->LineStarting(3);  // syntax error: the job stops
        journal->LineFailed();
        journal->End(false);
    }
    // Line 3 was recorded in flight when it started, as any printer command is.
    EXPECT_EQ(Writes(), 5u);
    std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nextLine, 3u);
    EXPECT_EQ(saved->sequence, 8);
    EXPECT_FALSE(saved->inFlight);
    {
        // Resumed again at once, it finishes without sending anything more.
        auto journal = Open();
        const ResumePlan plan = PlanResume(journal->saved(), kJobA, 8, kLines, true);
        ASSERT_TRUE(plan.resume);
        EXPECT_EQ(plan.firstLine, 3u);
        journal->Begin(kJobA, plan, 8);
        journal->End(true);
    }
    saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->finished);
}

TEST_F(JobJournalTest, ANewJobThatSendsNothingLeavesTheJournalAsItWas) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        journal->LineStarting(0);
        journal->FrameComing(5);
    }
    const std::string before = TempDir::ReadFile(file());
    {
        auto journal = Open();
        BeginNew(*journal, kJobB, 5);
        journal->LineStarting(0);
        journal->LineFailed();
        journal->End(false);
    }
    {
        auto journal = Open();
        BeginNew(*journal, kJobB, 5);
        journal->LineStarting(0);
        journal->LineDone(5);
        journal->End(true);
    }
    EXPECT_EQ(TempDir::ReadFile(file()), before);
    // A new job's first frame makes it the printer's job.
    {
        auto journal = Open();
        BeginNew(*journal, kJobB, 5);
        ExecutedLine(*journal, 0, 5);
    }
    const std::optional<JobState> saved = SavedNow();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->job, kJobB);
}

TEST_F(JobJournalTest, AnInvalidJournalCountsAsNoneAndIsReplaced) {
    ASSERT_EQ(::mkdir(dir_.file("state").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(folder().c_str(), 0700), 0);
    for (const std::string& bytes :
         {std::string(), std::string("garbage"), std::string(kJournalFileSize, 'x'),
          BlankSlot() + BlankSlot()}) {
        ASSERT_TRUE(TempDir::WriteFile(file(), bytes));
        auto journal = Open();
        EXPECT_TRUE(journal->usable());
        EXPECT_FALSE(journal->saved());
        EXPECT_NE(notes_.find("not valid"), std::string::npos) << notes_;
        BeginNew(*journal, kJobA, 5);
        journal->LineStarting(0);
        journal->FrameComing(5);
        EXPECT_EQ(Writes(), 1u) << notes_;
    }
    // A journal written for another printer is not this one's.
    {
        auto journal = Open();
        journal->LineStarting(0);
    }
    const auto other = std::make_unique<JobJournal>(folder(), "VX37000002", [](auto&) {});
    EXPECT_FALSE(other->saved());
    ASSERT_EQ(::rename(file().c_str(), JournalPath(folder(), "VX37000002").c_str()), 0);
    const auto renamed = std::make_unique<JobJournal>(folder(), "VX37000002", [](auto&) {});
    EXPECT_FALSE(renamed->saved());
}

TEST_F(JobJournalTest, AFolderThatCannotBeWrittenLeavesTheJournalOff) {
    // A file where a folder of the path should be: no user, not even root, can write there.
    ASSERT_TRUE(TempDir::WriteFile(dir_.file("state"), "not a folder"));
    auto journal = Open();
    EXPECT_FALSE(journal->usable());
    EXPECT_NE(notes_.find("cannot be opened for writing"), std::string::npos) << notes_;
    BeginNew(*journal, kJobA, 5);
    ExecutedLine(*journal, 0, 5);
    journal->End(true);
    EXPECT_EQ(TempDir::ReadFile(dir_.file("state")), "not a folder");
}

TEST_F(JobJournalTest, AJournalThatIsAFolderIsNotUsed) {
    ASSERT_EQ(::mkdir(dir_.file("state").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(folder().c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(file().c_str(), 0700), 0);
    auto journal = Open();
    EXPECT_FALSE(journal->usable());
    BeginNew(*journal, kJobA, 5);
    ExecutedLine(*journal, 0, 5);
    journal->End(true);
}

TEST_F(JobJournalTest, AReadOnlyFolderLeavesTheJournalOffAndIsNotResumedFrom) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        journal->LineStarting(0);
        journal->FrameComing(5);
    }
    ASSERT_EQ(::chmod(file().c_str(), 0400), 0);
    ASSERT_EQ(::chmod(folder().c_str(), 0500), 0);
    auto journal = Open();
    EXPECT_FALSE(journal->usable());
    EXPECT_FALSE(journal->saved());  // a run that cannot record its progress does not resume
    BeginNew(*journal, kJobA, 6);
    ExecutedLine(*journal, 0, 6);
    journal->End(true);
    ::chmod(folder().c_str(), 0700);
}

// Writes beyond a file-size limit fail as on a full disk (EFBIG instead of ENOSPC).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(JobJournalTest, AWriteThatFailsRemovesTheJournalItWouldLeaveStale) {
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 5);
        journal->LineStarting(0);
        journal->FrameComing(5);
    }
    {
        auto journal = Open();
        ASSERT_TRUE(journal->saved());
        journal->Begin(kJobA, PlanResume(journal->saved(), kJobA, 6, kLines, true), 6);
        const FileSizeLimit full(100);
        ExecutedLine(*journal, 1, 6);  // the slot at byte 256 lies beyond the limit
        EXPECT_FALSE(journal->usable());
        EXPECT_NE(notes_.find("removed"), std::string::npos) << notes_;
        ExecutedLine(*journal, 2, 7);
        journal->End(true);
    }
    EXPECT_FALSE(::access(file().c_str(), F_OK) == 0);
    // A new file that cannot be made leaves nothing behind either.
    {
        auto journal = Open();
        BeginNew(*journal, kJobA, 8);
        const FileSizeLimit full(100);
        ExecutedLine(*journal, 0, 8);
        EXPECT_FALSE(journal->usable());
    }
    EXPECT_FALSE(::access(file().c_str(), F_OK) == 0);
    EXPECT_FALSE(SavedNow());
}

TEST(JournalPlace, SerialNumbersBecomeSafeDistinctFileNames) {
    EXPECT_EQ(SafePrinterName("VX37000001"), "VX37000001");
    EXPECT_EQ(SafePrinterName("ab-_Z9"), "ab-_Z9");
    EXPECT_EQ(SafePrinterName("."), "%2E");
    EXPECT_EQ(SafePrinterName(".."), "%2E%2E");
    EXPECT_EQ(SafePrinterName("../x"), "%2E%2E%2Fx");
    EXPECT_EQ(SafePrinterName("a b%"), "a%20b%25");
    EXPECT_EQ(SafePrinterName("\xC8\x01"), "%C8%01");
    EXPECT_NE(SafePrinterName("a%2F"), SafePrinterName("a/"));
    EXPECT_EQ(SafePrinterName(""), "");
    EXPECT_EQ(SafePrinterName(std::string(64, 'A')), std::string(64, 'A'));
    EXPECT_EQ(SafePrinterName(std::string(22, '/')), "");
    EXPECT_EQ(JournalPath("/s/tallix", "VX/1"), "/s/tallix/VX%2F1.journal");
    EXPECT_EQ(JournalPath("", "VX1"), "");
    EXPECT_EQ(JournalPath("/s/tallix", ""), "");
}

// Sets or removes an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old != nullptr) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(JournalPlace, FolderFollowsXdgStateHomeElseHome) {
    const ScopedEnv home("HOME", "/home/kasa");
    {
        const ScopedEnv state("XDG_STATE_HOME", "/var/state/");
        EXPECT_EQ(JournalFolder(), "/var/state/tallix");
    }
    {
        const ScopedEnv state("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(JournalFolder(), "/home/kasa/.local/state/tallix");
    }
    {
        const ScopedEnv state("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(JournalFolder(), "/home/kasa/.local/state/tallix");
        const ScopedEnv relativeHome("HOME", "kasa");
        EXPECT_EQ(JournalFolder(), "");
    }
}

TEST(JobJournalOff, WithoutAFolderOrSerialNumberNothingIsTouched) {
    std::string notes;
    JobJournal noFolder("", "VX37000001", [&](const std::string& n) { notes += n; });
    EXPECT_FALSE(noFolder.usable());
    EXPECT_NE(notes.find("no folder"), std::string::npos);
    TempDir dir;
    notes.clear();
    JobJournal noSerial(dir.path(), "", [&](const std::string& n) { notes += n; });
    EXPECT_FALSE(noSerial.usable());
    EXPECT_NE(notes.find("serial number"), std::string::npos);
    noSerial.Begin(kJobA, PlanResume(std::nullopt, kJobA, 1, kLines, true), 1);
    noSerial.LineStarting(0);
    noSerial.FrameComing(1);
    noSerial.End(false);
}

}  // namespace
}  // namespace tallix
