// Files that are not what a batch run hopes for: a result path that cannot be written, a full
// device, a command file that is a folder, garbage or huge, and a preferences file whose
// writer is killed half-way.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "batch/CommandFile.h"
#include "batch/ExitCodes.h"
#include "config/Preferences.h"
#include "tests/batch/SimBatchRun.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::NineOptions;
using test::SplitLines;
using test::TempDir;

class BadInputTest : public test::SimBatchRun {
  protected:
    void SetUp() override {
        SimBatchRun::SetUp();
        ASSERT_TRUE(TempDir::WriteFile(commands, "49;PAINE;0;1;2.50;1;0;0\n53;;;0;2.50\n"));
    }
};

TEST_F(BadInputTest, AResultPathThatCannotBeCreatedEndsWith20BeforeAnyCommand) {
    // Permission bits do not stop root, so the paths are ones nobody can create: below a
    // regular file, and inside /proc.
    const std::string belowAFile = commands + "/result.txt";
    const std::string inProc = "/proc/tallix-no-such-folder/result.txt";
    for (const std::string& path : {belowAFile, inProc}) {
        const auto run = RunNine(commands, path);
        EXPECT_EQ(run.exitCode, kExitResultFileFailed) << path;
        EXPECT_EQ(run.out + run.err, "") << path;
        struct stat info {};
        EXPECT_NE(stat(path.c_str(), &info), 0) << path;
    }
    EXPECT_TRUE(sim.executedCommands().empty());
}

TEST_F(BadInputTest, AFullDeviceEndsWith50AtTheFirstResultLine) {
    // What the run meets on /dev/full: opening and truncating succeed, writing fails.
    const int fd = ::open("/dev/full", O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0) << "no /dev/full on this machine";
    const char byte = 'x';
    EXPECT_EQ(::write(fd, &byte, 1), -1);
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);

    const auto run = RunNine(commands, "/dev/full");
    EXPECT_EQ(run.exitCode, kExitResultWriteFailed);
    EXPECT_EQ(run.out + run.err, "");
    // The first line was executed; its result could not be written, so the run stopped.
    EXPECT_EQ(sim.executedCommands(), (std::vector<std::string>{"L;;PAINE;2.50;1.000;1;1;1;0;0;"}));
}

TEST_F(BadInputTest, ACommandFileThatIsAFolderEndsWith23WithAnEmptyResultFile) {
    ASSERT_TRUE(TempDir::WriteFile(result, "old result\n"));
    const std::string folder = dir.file("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const auto run = RunNine(folder, result);
    EXPECT_EQ(run.exitCode, kExitCommandFileFailed);
    EXPECT_EQ(run.out + run.err, "");
    struct stat info {};
    ASSERT_EQ(stat(result.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0) << "the result file was emptied before the command file was read";
    EXPECT_TRUE(sim.executedCommands().empty());
}

TEST_F(BadInputTest, BinaryGarbageExecutesNothingAndEndsWith0) {
    // Random bytes without digits, so that no line can begin with a command number: zero
    // bytes, lone carriage returns, control characters, every high byte.
    std::mt19937 random(20261209);
    std::string garbage;
    while (garbage.size() < size_t{256} * 1024) {
        const auto byte = static_cast<char>(random() & 0xFF);
        if (byte < '0' || byte > '9') {
            garbage.push_back(byte);
        }
    }
    const std::string file = dir.file("garbage.bin");
    ASSERT_TRUE(TempDir::WriteFile(file, garbage));
    const auto run = RunNine(file, result);
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(TempDir::ReadFile(result), "");
    EXPECT_TRUE(sim.executedCommands().empty());
}

// Data the printer cannot take is refused before anything is sent: "Syntax error" (the
// point-of-sale program must mend the line, the printer is fine), later lines "Error in
// previous command", and the printer sees no frame.
TEST_F(BadInputTest, LinesRefusedBeforeSendingAreSyntaxErrors) {
    const std::string skipped = R"("109";"9";"Error in previous command";)";
    for (const std::string& line :
         {"49;" + std::string(131, 'A') + ";0;1;1.00;1;0;0",
          std::string("49;PAINE;0;1;1e400;1;0;0"), std::string("49;PAINE;0;1e200;1.00;1;0;0"),
          std::string("53;;;0;1e300"), std::string("70;2;5.00;x"), std::string("70;1;1e400;x")}) {
        ASSERT_TRUE(TempDir::WriteFile(commands, line + "\r\n109\r\n"));
        const auto run = RunNine(commands, result);
        EXPECT_EQ(run.exitCode, kExitOk) << line;
        const std::string command = line.substr(0, 2);
        EXPECT_EQ(SplitLines(TempDir::ReadFile(result)),
                  (std::vector<std::string>{"\"" + command + R"(";"21";"Syntax error";)", skipped}))
            << line;
    }
    for (const auto& entry : sim.journalLines()) {
        EXPECT_NE(entry.kind(), "frame") << entry.text();
    }
}

// A command file of exactly the limit (64 MiB of lines that execute nothing between a sale
// and its payment) is read whole, cut and answered within a bounded memory; one byte more,
// or a file that never ends, gives 23 before any command is sent.
TEST_F(BadInputTest, CommandFilesAreBoundedAt64MiB) {
    const std::string file = dir.file("huge.txt");
    {
        FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        const std::string sale = "49;PAINE;0;1;2.50;1;0;0\r\n";
        const std::string payment = "53;;;0;2.50\r\n";
        const std::string filler = "0;" + std::string(60, 'x') + ";comment\r\n";  // 72 bytes
        ASSERT_GE(std::fputs(sale.c_str(), out), 0);
        std::size_t written = sale.size();
        while (written + filler.size() + payment.size() <= kCommandFileLimit) {
            ASSERT_GE(std::fputs(filler.c_str(), out), 0);
            written += filler.size();
        }
        ASSERT_GE(std::fputs(payment.c_str(), out), 0);
        written += payment.size();
        // A last line of blanks has no command number: no result line.
        const std::string blanks(kCommandFileLimit - written, ' ');
        ASSERT_GE(std::fputs(blanks.c_str(), out), 0);
        ASSERT_EQ(std::fclose(out), 0);
    }
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    ASSERT_EQ(static_cast<std::size_t>(info.st_size), kCommandFileLimit);

    const test::MeasuredRun run =
        test::RunTallixMeasured(NineOptions(file, result, sim.path()), dir.path());
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(SplitLines(TempDir::ReadFile(result)),
              (std::vector<std::string>{R"("49";"0";"No error";)", R"("53";"0";"No error";"";)"}));
    EXPECT_EQ(sim.executedCommands().size(), 2u);
    const long peakMiB = run.peakRssKiB / 1024;
    RecordProperty("peak_rss_mib", static_cast<int>(peakMiB));
    std::printf("peak resident memory of tallix on a 64 MiB command file: %ld MiB\n", peakMiB);
    // About the file's size in a plain build (bench/ measures it); the bound leaves room for
    // the sanitizer builds.
    EXPECT_LT(peakMiB, 1024) << "a 64 MiB file must not take gigabytes";

    FILE* more = std::fopen(file.c_str(), "ab");
    ASSERT_NE(more, nullptr);
    ASSERT_EQ(std::fputc(' ', more), ' ');
    ASSERT_EQ(std::fclose(more), 0);
    for (const std::string& endless : {file, std::string("/dev/zero")}) {
        ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
        const test::MeasuredRun tooLong =
            test::RunTallixMeasured(NineOptions(endless, result, sim.path()), dir.path());
        EXPECT_EQ(tooLong.exitCode, kExitCommandFileFailed) << endless;
        EXPECT_EQ(TempDir::ReadFile(result), "") << endless;
        EXPECT_LT(tooLong.peakRssKiB / 1024, 1024) << endless;
    }
    EXPECT_EQ(sim.executedCommands().size(), 2u) << "nothing more was sent";
    (void)::unlink(file.c_str());
}

// A writer killed at any moment of a preferences write leaves the old document or the new
// one, never a mixture or a truncated file.
TEST(PreferencesKilledMidWrite, TheFileIsTheOldOrTheNewDocument) {
    TempDir dir;
    const Preferences preferences(dir.file("Library/Preferences/com.veltra.tallix.xml"));
    ASSERT_NE(preferences.prepare(), Preparation::CreationFailed);

    // Two documents large enough that a write takes a while.
    auto documentWith = [](const std::string& keyPrefix) {
        PreferencesDocument document = StartUpDocument();
        for (int i = 0; i < 400; ++i) {
            StoreEntry(*document, {"VX-37", "RO", keyPrefix + std::to_string(i),
                                   keyPrefix + "SN" + std::to_string(i), "ttyUSB0", "9600", "1"});
        }
        return document;
    };
    const PreferencesDocument older = documentWith("old-");
    const PreferencesDocument newer = documentWith("new-");
    const std::string olderBytes = Serialize(*older);
    const std::string newerBytes = Serialize(*newer);
    ASSERT_TRUE(preferences.write(*older));

    constexpr int kRounds = 30;
    for (int round = 0; round < kRounds; ++round) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The writer: the two documents in turn, a byte on the pipe after each write.
            ::close(progress[0]);
            for (int i = 0;; ++i) {
                (void)preferences.write(i % 2 == 0 ? *newer : *older);
                const char done = 'w';
                (void)!::write(progress[1], &done, 1);
            }
        }
        ::close(progress[1]);
        // Let it finish a different number of writes each round, then kill it in the next.
        for (int finished = 0; finished < round % 4; ++finished) {
            char done = 0;
            ASSERT_EQ(::read(progress[0], &done, 1), 1);
        }
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ::close(progress[0]);

        const std::string bytes = TempDir::ReadFile(preferences.path());
        ASSERT_TRUE(bytes == olderBytes || bytes == newerBytes)
            << "round " << round << ": " << bytes.size() << " bytes, neither document";
        const PreferencesDocument read = preferences.read();
        ASSERT_NE(read, nullptr) << "round " << round;
    }
}

}  // namespace
}  // namespace tallix
