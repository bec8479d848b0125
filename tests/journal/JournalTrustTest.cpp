// Journals someone else could have written: planted links, folders that others may write,
// files of another user. None is read or followed, the run goes on without a journal and
// says why; a link planted after the lookup is replaced, never its target.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "journal/JobJournal.h"
#include "journal/JournalPlace.h"
#include "journal/JournalSlot.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

const JobIdentity kJob = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n");
constexpr uint64_t kLines = 10;
const std::string kSerial = "VX37000001";
constexpr uid_t kOtherUser = 65534;  // nobody

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

class JournalTrust : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(dir_.file("state").c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(folder().c_str(), 0700), 0);
    }

    std::string folder() const { return dir_.file("state/tallix"); }
    std::string file() const { return JournalPath(folder(), kSerial); }
    std::string temporary() const { return folder() + "/." + JournalFileName(kSerial) + ".new"; }

    std::unique_ptr<JobJournal> Open() {
        notes_.clear();
        return std::make_unique<JobJournal>(
            folder(), kSerial, [this](const std::string& note) { notes_ += note + "\n"; });
    }
    // A journal of this printer holding an unfinished job with lines 0 and 1 done.
    static std::string SavedJob() {
        JournalRecord record;
        record.generation = 1;
        record.printer = SafePrinterName(kSerial);
        record.state.job = kJob;
        record.state.nextLine = 2;
        record.state.sequence = 7;
        return BlankSlot() + EncodeSlot(record);
    }
    // One frame of a new job: the first write of a journal.
    static void SendOneFrame(JobJournal& journal) {
        journal.Begin(kJob, PlanResume(std::nullopt, kJob, 5, kLines, true), 5);
        journal.LineStarting(0);
        journal.FrameComing(5);
        journal.LineDone(6);
        journal.End(false);
    }
    // Refused: not usable, nothing saved, and the reason kept for the system log.
    void ExpectRefused(const JobJournal& journal, const std::string& why) {
        EXPECT_FALSE(journal.usable());
        EXPECT_FALSE(journal.saved());
        EXPECT_NE(journal.distrust().find(why), std::string::npos) << journal.distrust();
        EXPECT_NE(notes_.find(why), std::string::npos) << notes_;
        EXPECT_NE(notes_.find("the run goes on without it"), std::string::npos) << notes_;
    }

    TempDir dir_;
    std::string notes_;
};

TEST_F(JournalTrust, ATrustedJournalIsReadAndNothingIsDistrusted) {
    ASSERT_TRUE(TempDir::WriteFile(file(), SavedJob()));
    auto journal = Open();
    EXPECT_TRUE(journal->usable());
    ASSERT_TRUE(journal->saved());
    EXPECT_EQ(journal->saved()->nextLine, 2u);
    EXPECT_EQ(journal->distrust(), "");
}

TEST_F(JournalTrust, ALinkAtTheJournalsNameIsNeitherReadNorWritten) {
    const std::string target = dir_.file("elsewhere.journal");
    ASSERT_TRUE(TempDir::WriteFile(target, SavedJob()));
    ASSERT_EQ(::symlink(target.c_str(), file().c_str()), 0);
    auto journal = Open();
    ExpectRefused(*journal, "is a symbolic link");
    SendOneFrame(*journal);
    EXPECT_EQ(TempDir::ReadFile(target), SavedJob());
    EXPECT_TRUE(IsLink(file()));
}

TEST_F(JournalTrust, LinksPlantedBetweenTheLookupAndTheFirstWriteAreReplacedNotFollowed) {
    auto journal = Open();
    ASSERT_TRUE(journal->usable());
    ASSERT_FALSE(journal->saved());  // none yet: the file is made at the first frame
    // Planted now, where the journal and its temporary file will be.
    const std::string victim = dir_.file("victim");
    const std::string other = dir_.file("other victim");
    ASSERT_TRUE(TempDir::WriteFile(victim, "precious"));
    ASSERT_TRUE(TempDir::WriteFile(other, "also precious"));
    ASSERT_EQ(::symlink(victim.c_str(), file().c_str()), 0);
    ASSERT_EQ(::symlink(other.c_str(), temporary().c_str()), 0);

    SendOneFrame(*journal);
    EXPECT_TRUE(journal->usable()) << notes_;
    EXPECT_EQ(TempDir::ReadFile(victim), "precious");
    EXPECT_EQ(TempDir::ReadFile(other), "also precious");
    EXPECT_FALSE(IsLink(file()));
    EXPECT_FALSE(::access(temporary().c_str(), F_OK) == 0) << "no temporary file is left";
    const JournalContent content = DecodeJournal(TempDir::ReadFile(file()), kSerial);
    ASSERT_TRUE(content.record) << content.problem;
    EXPECT_EQ(content.record->state.job, kJob);
    EXPECT_EQ(TempDir::ModeOf(file()), 0600u & ~0077u);
}

TEST_F(JournalTrust, AFolderThatOthersCanWriteIsNotUsed) {
    ASSERT_TRUE(TempDir::WriteFile(file(), SavedJob()));
    for (const mode_t mode : {0777u, 0770u, 0720u, 01777u}) {
        ASSERT_EQ(::chmod(folder().c_str(), mode), 0);
        auto journal = Open();
        ExpectRefused(*journal, "can be written by other users");
        SendOneFrame(*journal);
        EXPECT_EQ(TempDir::ReadFile(file()), SavedJob()) << std::oct << mode;
    }
    // Readable by others is fine: only writing lets them plant a journal.
    ASSERT_EQ(::chmod(folder().c_str(), 0755), 0);
    EXPECT_TRUE(Open()->saved());
}

TEST_F(JournalTrust, AFolderOrAJournalOfAnotherUserIsNotUsed) {
    ASSERT_TRUE(TempDir::WriteFile(file(), SavedJob()));
    if (::chown(file().c_str(), kOtherUser, kOtherUser) != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    {
        auto journal = Open();
        ExpectRefused(*journal, "belongs to user 65534");
        SendOneFrame(*journal);
        EXPECT_EQ(TempDir::ReadFile(file()), SavedJob());
    }
    ASSERT_EQ(::chown(file().c_str(), ::geteuid(), ::getegid()), 0);
    ASSERT_EQ(::chown(folder().c_str(), kOtherUser, kOtherUser), 0);
    auto journal = Open();
    ExpectRefused(*journal, "belongs to user 65534");
    EXPECT_NE(notes_.find("journal folder"), std::string::npos) << notes_;
}

TEST_F(JournalTrust, SomethingElseAtTheJournalsNameIsNotUsed) {
    // A FIFO: opening it must not wait for a writer.
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    auto journal = Open();
    EXPECT_FALSE(journal->usable());
    EXPECT_NE(notes_.find("is not a regular file"), std::string::npos) << notes_;
}

}  // namespace
}  // namespace tallix
