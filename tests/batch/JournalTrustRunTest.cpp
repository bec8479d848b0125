// A run whose printer journal someone else could have planted: it is not followed, every
// line is sent, and the system log says why, even though the run succeeds.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/RunSequence.h"
#include "journal/JournalPlace.h"
#include "journal/JournalSlot.h"
#include "posix/SystemLog.h"
#include "tests/support/RecorderOptions.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::DeviceScript;
using test::TempDir;
using Calls = std::vector<std::string>;

const std::string kCommands = "51\n109\n";
const std::string kSerial = "AB12345678";  // what the recording device reports

class PlantedJournal : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = SetSystemLogSink([this](const std::string& line) { log.push_back(line); });
        ASSERT_TRUE(TempDir::WriteFile(commands, kCommands));
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        options = test::RecorderOptions(commands, dir.file("result.txt"));
        script.sequence = 7;
        // What an attacker writes: this command file's job, both lines done, the counter as
        // the printer shows it. Followed, it answers both sales "No error" and sends nothing.
        JournalRecord record;
        record.generation = 1;
        record.printer = SafePrinterName(kSerial);
        record.state.job = IdentityOf(kCommands);
        record.state.nextLine = 2;
        record.state.sequence = 7;
        ASSERT_TRUE(TempDir::WriteFile(journal, BlankSlot() + EncodeSlot(record)));
    }
    void TearDown() override { (void)SetSystemLogSink(previous_); }

    // The printer operations of one run, and whether the run succeeded.
    Calls Run() {
        script.clearCalls();
        log.clear();
        EXPECT_EQ(RunBatch(options, script.factory(), {}, folder), kExitOk);
        Calls sent;
        for (const std::string& call : script.calls()) {
            if (call.rfind("Sell_", 0) == 0 || call.rfind("Other_", 0) == 0) {
                sent.push_back(call);
            }
        }
        return sent;
    }

    TempDir dir;
    const std::string commands = dir.file("commands.txt");
    const std::string folder = dir.file("journals");
    const std::string journal = JournalPath(folder, kSerial);
    Options options;
    DeviceScript script;
    std::vector<std::string> log;

  private:
    SystemLogSink previous_;
};

const Calls kBothLines = {"Sell_Payment(4, 0.000)", "Other_PrintDubliate()"};

TEST_F(PlantedJournal, OfTheUsersOwnIsFollowed) {
    // The control: the same bytes written by the user resume the job.
    EXPECT_EQ(Run(), Calls{});
    EXPECT_TRUE(log.empty());
}

TEST_F(PlantedJournal, InAFolderOthersCanWriteIsNotFollowedAndIsLogged) {
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    EXPECT_EQ(Run(), kBothLines);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "batch run of " + commands + ": job journal folder " + folder +
                          " can be written by other users (mode 0777): the run goes on without "
                          "it");
}

TEST_F(PlantedJournal, OwnedByAnotherUserIsNotFollowedAndIsLogged) {
    if (::chown(journal.c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    EXPECT_EQ(Run(), kBothLines);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("journal " + journal + " belongs to user 65534"), std::string::npos)
        << log[0];
}

TEST_F(PlantedJournal, BehindALinkIsNotFollowedAndIsLogged) {
    const std::string elsewhere = dir.file("elsewhere.journal");
    ASSERT_EQ(::rename(journal.c_str(), elsewhere.c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), journal.c_str()), 0);
    EXPECT_EQ(Run(), kBothLines);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("is a symbolic link"), std::string::npos) << log[0];
}

}  // namespace
}  // namespace tallix
