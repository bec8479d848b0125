// Command files and preferences files that are not regular files: a FIFO whose writer never
// comes, a writer that never stops, /dev/zero. The run never holds the printer while it waits
// for a writer, a stop signal ends the wait, and a source that never ends stops at the limit.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch/ExitCodes.h"
#include "posix/UniqueFd.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::NineOptions;
using test::SplitLines;
using test::TempDir;

const std::string kReceipt = "49;PAINE;0;1;2.50;1;0;0\r\n53;;;0;2.50\r\n";
const std::vector<std::string> kReceiptResult = {R"("49";"0";"No error";)",
                                                 R"("53";"0";"No error";"";)"};

// The process holds path open.
bool Holds(pid_t pid, const std::string& path) {
    std::error_code ignored;
    namespace fs = std::filesystem;
    for (const auto& entry :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
        if (fs::read_symlink(entry.path(), ignored) == path) {
            return true;
        }
    }
    return false;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

class CommandSource : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ready());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        ASSERT_TRUE(TempDir::WriteFile(receipt, kReceipt));
    }

    // A run of the receipt as a regular file, on the same printer: the port must be free.
    void PrinterIsFree() {
        const std::string result = dir.file("other.result");
        const test::TallixOutcome run =
            test::RunTallix(NineOptions(receipt, result, sim.path()), dir.path());
        EXPECT_EQ(run.exitCode, kExitOk);
        EXPECT_EQ(SplitLines(TempDir::ReadFile(result)), kReceiptResult);
    }

    test::SimProcess sim;
    TempDir dir;
    const std::string fifo = dir.file("commands.fifo");
    const std::string receipt = dir.file("receipt.txt");
    const std::string result = dir.file("result.txt");
};

TEST_F(CommandSource, AFifoWithoutAWriterHoldsNoPrinterAndEndsOnAStopSignal) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
        test::BackgroundProcess tallix(TALLIX_PATH, NineOptions(fifo, result, sim.path()),
                                       test::TallixEnvironment(dir.path()));
        ASSERT_GT(tallix.pid(), 0);
        ASSERT_TRUE(test::WaitFor([&] { return Holds(tallix.pid(), fifo); }))
            << "the run waits for the FIFO's writer";
        // Meanwhile the printer is free for another run.
        PrinterIsFree();
        tallix.kill(signal);
        EXPECT_EQ(tallix.wait(std::chrono::seconds(10)), 128 + signal) << signal;
        EXPECT_EQ(TempDir::ReadFile(result), "old\n") << "stopped before the result stage";
    }
    PrinterIsFree();
    EXPECT_EQ(sim.executedCommands().size(), 8u) << "only the other runs printed";
}

TEST_F(CommandSource, AFifoWhoseWriterComesLaterRunsItsCommands) {
    test::BackgroundProcess tallix(TALLIX_PATH, NineOptions(fifo, result, sim.path()),
                                   test::TallixEnvironment(dir.path()));
    ASSERT_TRUE(test::WaitFor([&] { return Holds(tallix.pid(), fifo); }));
    {
        const UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(writer.valid());
        ASSERT_TRUE(WriteAll(writer.get(), kReceipt));
    }
    EXPECT_EQ(tallix.wait(std::chrono::seconds(60)), kExitOk);
    EXPECT_EQ(SplitLines(TempDir::ReadFile(result)), kReceiptResult);
    EXPECT_EQ(sim.executedCommands().size(), 2u);
}

// Ignores SIGPIPE for one scope, so that a writer whose reader has gone gets EPIPE.
class NoPipeSignal {
  public:
    NoPipeSignal() : previous_(std::signal(SIGPIPE, SIG_IGN)) {}
    ~NoPipeSignal() { std::signal(SIGPIPE, previous_); }
    NoPipeSignal(const NoPipeSignal&) = delete;
    NoPipeSignal& operator=(const NoPipeSignal&) = delete;

  private:
    void (*previous_)(int);
};

TEST_F(CommandSource, AWriterThatNeverStopsEndsAtTheLimitWith23) {
    const NoPipeSignal noPipeSignal;
    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    std::thread writer([this] {
        const UniqueFd fd(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
        const std::string comments(std::size_t{1} << 16, '#');
        while (fd && WriteAll(fd.get(), comments)) {
        }
    });
    const test::TallixOutcome run =
        test::RunTallix(NineOptions(fifo, result, sim.path()), dir.path());
    writer.join();
    EXPECT_EQ(run.exitCode, kExitCommandFileFailed);
    EXPECT_EQ(TempDir::ReadFile(result), "") << "reported at the command file's stage";
    EXPECT_TRUE(sim.executedCommands().empty());
    PrinterIsFree();
}

TEST_F(CommandSource, APreferencesFileThatIsAFifoEnds21WithoutWaiting) {
    const std::string folder = dir.file("Library/Preferences");
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    ASSERT_EQ(::mkfifo((folder + "/com.veltra.tallix.xml").c_str(), 0600), 0);
    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    // No device option given: the entry would come from the preferences file.
    const test::TallixOutcome run =
        test::RunTallix({"-i", receipt, "-o", result}, dir.path(), std::chrono::seconds(60));
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, kExitPreferences);
    EXPECT_EQ(TempDir::ReadFile(result), "old\n");
}

}  // namespace
}  // namespace tallix
