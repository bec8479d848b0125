// tallix as its callers run it: a process with HOME in a folder of the test's own, against
// tallix-sim. Every exit code, what the result file holds afterwards, and the commands the
// printer received, from its journal.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "config/Preferences.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::NineOptions;
using test::RunTallix;
using test::SimProcess;
using test::TempDir;
using Commands = std::vector<std::string>;

const std::string kOld = "result of an earlier run\n";

class BatchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ready());
        ASSERT_TRUE(TempDir::WriteFile(commands, "51\n"));
    }
    // A run with all nine options, so the preferences file is never needed.
    test::TallixOutcome Run(const std::string& content,
                            const std::vector<std::string>& extra = {}) {
        EXPECT_TRUE(TempDir::WriteFile(commands, content));
        return RunWith(NineOptions(commands, result, sim.path()), extra);
    }
    test::TallixOutcome RunWith(std::vector<std::string> args,
                                const std::vector<std::string>& extra = {}) {
        args.insert(args.end(), extra.begin(), extra.end());
        test::TallixOutcome outcome = RunTallix(args, home.path());
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.out + outcome.err, "") << "batch mode prints nothing";
        return outcome;
    }
    std::string Result() const { return TempDir::ReadFile(result); }
    // The commands tallix-sim received with a good checksum, in order (executed or not).
    Commands Received() const {
        Commands texts;
        for (const auto& entry : sim.journalLines()) {
            if (entry.kind() == "frame" && entry.flag("crc_ok")) {
                texts.push_back(entry.text());
            }
        }
        return texts;
    }
    bool AnyTraffic() const {
        for (const auto& entry : sim.journalLines()) {
            if (entry.kind() != "start") {
                return true;
            }
        }
        return false;
    }

    SimProcess sim;
    TempDir home;
    TempDir dir;
    std::string commands = dir.file("commands.txt");
    std::string result = dir.file("result.txt");
};

TEST_F(BatchRun, AMixedReceiptGivesTheseExactResultBytesAndEachCommandOnce) {
    // Windows-1250: "Pâine" (0xE2), "Brânză" (0xE2, 0xE3), "ţ" (0xFE) in the free text.
    const auto run =
        Run("49;P\xE2ine;0;2;2.50;1;0;0\r\n"
            "49;Br\xE2nz\xE3;0;0.5;30.00;2;0;0\r\n"
            "200;-10;\r\n"
            "54;Mul\xFEumim;;;;\r\n"
            "48;unknown\r\n"
            "53;;;1;5.00\r\n"
            "53;;;0;20.00\r\n");
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Result(),
              "\"49\";\"0\";\"No error\";\n"
              "\"49\";\"0\";\"No error\";\n"
              "\"200\";\"0\";\"No error\";\n"
              "\"54\";\"0\";\"No error\";\n"
              "\"48\";\"0\";\"No error\";\n"
              "\"53\";\"0\";\"No error\";\"\";\n"
              "\"53\";\"0\";\"No error\";\"\";\n");
    const Commands expected = {
        "L;;P\\INE;2.50;2.000;1;1;1;0;0;",  // the printer's letters: \ is Â, [ is Ă, _ is Ţ
        "L;;BR\\NZ[;30.00;0.500;1;1;2;0;0;",
        "C;1;10.00;;;;",
        "X;MUL_UMIM;;;;;",
        "E;1;5.00;;;;",
        "E;0;20.00;;;;",
    };
    EXPECT_EQ(Received(), expected);
    EXPECT_EQ(sim.executedCommands(), expected);
}

TEST_F(BatchRun, CrLfAndLfFilesRunAlikeAndQuotedFieldsAreTheSame) {
    const std::string lf = "49;PAINE;0;1;2.50;1;0;0\n\n53;;;0;2.50\n";
    ASSERT_EQ(Run(lf).exitCode, kExitOk);
    const std::string lfResult = Result();
    const Commands lfCommands = Received();

    ASSERT_EQ(Run("\"49\";\"PAINE\";\"0\";\"1\";\"2.50\";\"1\";\"0\";\"0\"\r\n\r\n"
                  "\"53\";;;\"0\";\"2.50\"\r\n")
                  .exitCode,
              kExitOk);
    EXPECT_EQ(Result(), lfResult);
    const Commands both = Received();
    ASSERT_EQ(both.size(), 2 * lfCommands.size());
    EXPECT_EQ(Commands(both.begin() + static_cast<long>(lfCommands.size()), both.end()),
              lfCommands);
}

TEST_F(BatchRun, ARefusedCommandStopsTheRestAndTheRunStillEndsWith0) {
    // No receipt is open, so the printer refuses the payment; nothing after it is sent.
    const auto run = Run("53;;;0;10.00\r\n# note\r\n49;PAINE;0;1;2.50;1;0;0\r\n109\r\n");
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Result(),
              "\"53\";\"1\";\"No printer response\";\n"
              "\"49\";\"9\";\"Error in previous command\";\n"
              "\"109\";\"9\";\"Error in previous command\";\n");
    EXPECT_EQ(Received(), Commands{"E;0;10.00;;;;"});
    EXPECT_TRUE(sim.executedCommands().empty());
}

TEST_F(BatchRun, ASyntaxErrorSendsNothingMore) {
    const auto run = Run("49;PAINE;0;1;2.50;1;0\n53;;;0;2.50\n");
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Result(),
              "\"49\";\"21\";\"Syntax error\";\n"
              "\"53\";\"9\";\"Error in previous command\";\n");
    EXPECT_TRUE(Received().empty());
}

TEST_F(BatchRun, AByteOrderMarkSkipsTheFirstLineSilently) {
    const auto run =
        Run("\xEF\xBB\xBF"
            "49;PAINE;0;1;2.50;1;0;0\n54;;;;;\n");
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Result(), "\"54\";\"0\";\"No error\";\n");
    EXPECT_EQ(Received(), Commands{"X;;;;;;"});
}

TEST_F(BatchRun, EmptyAndUnreadableCommandFilesEmptyTheResultFile) {
    ASSERT_TRUE(TempDir::WriteFile(result, kOld));
    EXPECT_EQ(Run("").exitCode, kExitCommandFileEmpty);
    EXPECT_EQ(Result(), "");

    ASSERT_TRUE(TempDir::WriteFile(result, kOld));
    EXPECT_EQ(RunWith(NineOptions(dir.file("missing.txt"), result, sim.path())).exitCode,
              kExitCommandFileFailed);
    EXPECT_EQ(Result(), "");
    EXPECT_TRUE(Received().empty());
}

TEST_F(BatchRun, EarlyFailuresLeaveTheResultFileUntouched) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
    };
    // Exit code 1 needs an Initialize that fails, which the real device never does (it only
    // installs the logical ID and the character map); the recording device covers it.
    const std::vector<Case> cases = {
        {"no command file path", {"-o", result, "-t", "VX-37"}, kExitNoCommandFile},
        {"no result file path", {"-i", commands, "-t", "VX-37"}, kExitNoResultFile},
        {"no preferences file", {"-i", commands, "-o", result, "-p", sim.path()}, kExitPreferences},
        {"type in other case",
         [&] {
             auto args = NineOptions(commands, result, sim.path());
             args.insert(args.end(), {"-t", "vx-37"});
             return args;
         }(),
         kExitWrongDeviceType},
        {"no such port", NineOptions(commands, result, dir.file("no-such-port")), kExitOpenFailed},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(TempDir::WriteFile(result, kOld));
        EXPECT_EQ(RunWith(c.args).exitCode, c.exitCode) << c.name;
        EXPECT_EQ(Result(), kOld) << c.name;
    }
    EXPECT_FALSE(AnyTraffic());
    // Batch mode only reads the preferences file: the missing one was not made.
    EXPECT_EQ(TempDir::ModeOf(home.file("Library")), 0u);
}

TEST_F(BatchRun, AResultFileThatCannotBeOpenedOrWrittenGives20Or50) {
    EXPECT_EQ(RunWith(NineOptions(commands, commands + "/result.txt", sim.path())).exitCode,
              kExitResultFileFailed);
    EXPECT_TRUE(Received().empty());
    // /dev/full opens and needs no emptying, then refuses every byte.
    EXPECT_EQ(RunWith(NineOptions(commands, "/dev/full", sim.path())).exitCode,
              kExitResultWriteFailed);
    EXPECT_EQ(Received(), Commands{"E;4;;;;;"});  // 51: the rest, in type 4
}

// The example command files run as the README describes them.
TEST_F(BatchRun, TheExamplesRunAsDocumented) {
    const std::string examples = std::string(TALLIX_SOURCE_DIR) + "/examples/";
    struct Example {
        const char* file;
        std::vector<std::string> results;  // message numbers, one per command line
    };
    const std::vector<Example> cases = {
        {"receipt.txt", {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
        {"duplicate.txt", {"0", "0", "0"}},
        {"cash-in-out.txt", {"0", "0"}},
        {"z-report.txt", {"0", "0"}},
        // Last: it leaves its receipt open.
        {"faulty-line.txt", {"0", "21", "9"}},
    };
    for (const Example& example : cases) {
        const std::string bytes = TempDir::ReadFile(examples + example.file);
        ASSERT_FALSE(bytes.empty()) << example.file;
        EXPECT_EQ(Run(bytes).exitCode, kExitOk) << example.file;
        std::vector<std::string> numbers;
        for (const std::string& line : test::SplitLines(Result())) {
            const std::size_t open = line.find(";\"") + 2;
            numbers.push_back(line.substr(open, line.find('"', open) - open));
        }
        EXPECT_EQ(numbers, example.results) << example.file;
    }
    const Commands executed = sim.executedCommands();
    ASSERT_EQ(executed.size(), 18U);
    EXPECT_EQ(Commands(executed.begin() + 13, executed.end()),
              (Commands{"I;0;200.00;;;;", "I;1;50.00;;;;", "A;;;X;", "A;;;Z;",
                        "L;;CAFEA BOABE 500G;42.50;1.000;1;1;1;0;0;"}));
}

// Serial-number-only mode: the printer's default entry comes from the preferences file.
TEST_F(BatchRun, SerialNumberOnlyWritesTheBareSerialAndNeverReadsTheCommandFile) {
    const Preferences preferences(home.file("Library/Preferences/com.veltra.tallix.xml"));
    ASSERT_NE(preferences.prepare(), Preparation::CreationFailed);
    PreferencesDocument document = StartUpDocument();
    StoreEntry(*document, {"VX-37", "RO", "shop", "VX37000001", sim.path(),
                           std::to_string(test::kSimSpeed), "1"});
    ASSERT_TRUE(SetDefaultKey(*document, "shop"));
    ASSERT_TRUE(preferences.write(*document));
    ASSERT_TRUE(TempDir::WriteFile(result, kOld));

    const auto run = RunWith({"-i", dir.file("missing.txt"), "-o", result, "-n"});
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(Result(), "VX37000001");
    EXPECT_TRUE(Received().empty());

    // A serial number that cannot be written is a failed run.
    EXPECT_EQ(RunWith({"-i", commands, "-o", "/dev/full", "-n"}).exitCode, kExitResultWriteFailed);
}

// A printer that never answers its wake-up: the serial number cannot be read. The run waits
// out the protocol's time-outs (about 42 s).
TEST(BatchRunSlow, APrinterThatNeverAnswersGives2AndLeavesTheResultFile) {
    SimProcess sim({"--mute"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("commands.txt");
    const std::string result = dir.file("result.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, "51\n"));
    ASSERT_TRUE(TempDir::WriteFile(result, kOld));
    const auto run = RunTallix(NineOptions(commands, result, sim.path()), dir.path());
    EXPECT_EQ(run.exitCode, kExitSerialNumberFailed);
    EXPECT_EQ(TempDir::ReadFile(result), kOld);
    EXPECT_TRUE(sim.executedCommands().empty());
}

}  // namespace
}  // namespace tallix
