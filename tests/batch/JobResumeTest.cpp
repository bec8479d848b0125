// A job that stopped part-way and is run again: the printer executes every command once, the
// result file is what one uninterrupted run writes, and every case in which the journal
// cannot be trusted runs the file in full, as before.

#include <gtest/gtest.h>

#include <csignal>

#include "batch/ExitCodes.h"
#include "protocol/CashRegManager.h"
#include "tests/batch/JobRun.h"

namespace tallix {
namespace {

using test::JobRun;
using test::kJobReceipt;
using test::kJobReceiptCommands;
using test::kJobReceiptResult;
using test::Repeated;
using test::TempDir;

std::vector<std::string> First(std::size_t count) {
    return {kJobReceiptCommands.begin(),
            kJobReceiptCommands.begin() + static_cast<std::ptrdiff_t>(count)};
}

// Another program uses the printer: one free-text command straight on the link.
bool AnotherProgramPrints(const std::string& port) {
    static const uint8_t kNoMap[256] = {};
    CashRegManager link;
    if (!link.Open(port, test::kSimSpeed)) {
        return false;
    }
    link.InitializeCR(1, kNoMap, 0);
    const std::string text = "X;OTHER PROGRAM;;;;;";
    const bool done = link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                       static_cast<int>(text.size()));
    link.Close();
    return done;
}

using JobResume = JobRun;

TEST_F(JobResume, AKilledRunIsCompletedByTheNextRunWithEveryCommandOnce) {
    RunKilledAfter(2);
    const auto again = Run();
    EXPECT_EQ(again.exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_EQ(sim.executedCommands(), kJobReceiptCommands);
    EXPECT_EQ(ClosedReceipts(), 1);
    EXPECT_NE(JournalNotes().find("resuming"), std::string::npos) << JournalNotes();
}

TEST_F(JobResume, ARunStoppedBySigtermIsContinuedAfterItsLastAnsweredLine) {
    {
        test::BackgroundProcess tallix(TALLIX_PATH, Args(), test::TallixEnvironment(home.path()));
        ASSERT_TRUE(test::WaitFor([&] { return sim.executedCommands().size() >= 2; }));
        tallix.kill(SIGTERM);
        ASSERT_TRUE(tallix.wait(std::chrono::seconds(10)));
    }
    const std::size_t done = sim.executedCommands().size();
    ASSERT_LT(done, kJobReceiptCommands.size());
    EXPECT_EQ(Run().exitCode, kExitOk);
    // The stopped run recorded where it ended: no line in flight, the counter as it left it.
    EXPECT_NE(JournalNotes().find("resuming at line " + std::to_string(done + 1)),
              std::string::npos)
        << JournalNotes();
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_EQ(sim.executedCommands(), kJobReceiptCommands);
}

TEST_F(JobResume, AFinishedJobRunAgainIsANewJob) {
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("none yet"), std::string::npos) << JournalNotes();
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("last job finished"), std::string::npos) << JournalNotes();
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_EQ(sim.executedCommands(), Repeated(kJobReceiptCommands, 2));
    EXPECT_EQ(ClosedReceipts(), 2);
}

TEST_F(JobResume, AnotherCommandFileRunsInFullAndBecomesThePrintersJob) {
    RunKilledAfter(2);
    ASSERT_TRUE(TempDir::WriteFile(commands, "54;OTHER;;;;\r\n" + kJobReceipt));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("another command file"), std::string::npos) << JournalNotes();
    std::vector<std::string> expected = First(2);
    expected.push_back("X;OTHER;;;;;");
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.end());
    EXPECT_EQ(sim.executedCommands(), expected);
    // The first file is no longer the printer's job: run again, it runs in full too.
    ASSERT_TRUE(TempDir::WriteFile(commands, kJobReceipt));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("last job finished"), std::string::npos) << JournalNotes();
}

TEST_F(JobResume, NoResumeRunsInFullAsANewJob) {
    RunKilledAfter(2);
    EXPECT_EQ(Run({"--no-resume"}).exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("--no-resume"), std::string::npos) << JournalNotes();
    std::vector<std::string> expected = First(2);
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.end());
    EXPECT_EQ(sim.executedCommands(), expected);
}

TEST_F(JobResume, ALineRefusedByThePrinterIsSentAgainAndTheLinesBeforeItAreNot) {
    // The printer knows no payment type 9: it acknowledges the frame and executes nothing.
    const std::string refusing =
        "49;PAINE;0;2;2.50;1;0;0\r\n"
        "49;LAPTE;0;1;6.20;2;0;0\r\n"
        "53;;;9;5.00\r\n"
        "54;VA MULTUMIM;;;;\r\n";
    ASSERT_TRUE(TempDir::WriteFile(commands, refusing));
    EXPECT_EQ(Run().exitCode, kExitOk);
    const std::string firstResult = TempDir::ReadFile(result);
    EXPECT_NE(firstResult.find("\"53\";\"1\";\"No printer response\";"), std::string::npos);

    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), firstResult);
    EXPECT_NE(JournalNotes().find("line 3 was in flight and the counter is unchanged"),
              std::string::npos)
        << JournalNotes();
    EXPECT_EQ(sim.executedCommands(), First(2));
    const std::vector<std::string> received = {First(2)[0], First(2)[1], "E;9;5.00;;;;",
                                               "E;9;5.00;;;;"};
    EXPECT_EQ(Received(), received);
}

TEST_F(JobResume, ALineRefusedBeforeSendingStopsTheJobAtThatLine) {
    // The third line lacks a field: a syntax error, nothing sent, the rest not run.
    const std::string faulty =
        "49;PAINE;0;2;2.50;1;0;0\r\n"
        "49;LAPTE;0;1;6.20;2;0;0\r\n"
        "49;APA;0;1;3.00;1;0\r\n"
        "53;;;0;20.00\r\n";
    ASSERT_TRUE(TempDir::WriteFile(commands, faulty));
    EXPECT_EQ(Run().exitCode, kExitOk);
    const std::string firstResult = TempDir::ReadFile(result);
    EXPECT_NE(firstResult.find("\"21\";\"Syntax error\";"), std::string::npos) << firstResult;

    // Run again as it is, it is answered the same way and nothing is sent twice.
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), firstResult);
    EXPECT_NE(JournalNotes().find("resuming at line 3"), std::string::npos) << JournalNotes();
    EXPECT_EQ(sim.executedCommands(), First(2));

    // Once another program has used the printer, the stopped job cannot be placed any more:
    // the file runs in full.
    ASSERT_TRUE(AnotherProgramPrints(sim.path()));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), firstResult);
    EXPECT_NE(JournalNotes().find("another program used the printer"), std::string::npos)
        << JournalNotes();
    std::vector<std::string> expected = First(2);
    expected.push_back("X;OTHER PROGRAM;;;;;");
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.begin() + 2);
    EXPECT_EQ(sim.executedCommands(), expected);
}

TEST_F(JobResume, ACorruptJournalCountsAsNone) {
    RunKilledAfter(2);
    std::string bytes = TempDir::ReadFile(JournalFile());
    ASSERT_EQ(bytes.size(), 512u);
    bytes[40] ^= 0x01;  // both slots damaged: nothing is left to trust
    bytes[296] ^= 0x01;
    ASSERT_TRUE(TempDir::WriteFile(JournalFile(), bytes));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_NE(JournalNotes().find("not valid"), std::string::npos) << JournalNotes();
    std::vector<std::string> expected = First(2);
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.end());
    EXPECT_EQ(sim.executedCommands(), expected);
}

TEST_F(JobResume, AJournalFolderThatCannotBeWrittenLeavesRunsAsBefore) {
    // A file where the folder ~/.local should be: neither the folder nor the journal can be
    // made, whoever runs the test.
    ASSERT_TRUE(TempDir::WriteFile(home.file(".local"), "in the way"));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_NE(JournalNotes().find("cannot be opened for writing"), std::string::npos)
        << JournalNotes();
    RunKilledAfter(6);
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    // Killed after two lines of the second run, the third run sends them again, as Tallix
    // always did without a journal.
    std::vector<std::string> expected = kJobReceiptCommands;
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.begin() + 2);
    expected.insert(expected.end(), kJobReceiptCommands.begin(), kJobReceiptCommands.end());
    EXPECT_EQ(sim.executedCommands(), expected);
}

TEST_F(JobResume, SerialNumberOnlyReadsAndChangesNoJournal) {
    RunKilledAfter(2);
    const std::string journal = TempDir::ReadFile(JournalFile());
    ASSERT_FALSE(journal.empty());
    std::vector<std::string> args = test::NineOptions(commands, result, sim.path());
    args.emplace_back("-n");
    EXPECT_EQ(test::RunTallix(args, home.path()).exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), "VX37000001");
    EXPECT_EQ(TempDir::ReadFile(JournalFile()), journal);

    // And with no journal yet, it makes none.
    test::TempDir otherHome;
    EXPECT_EQ(test::RunTallix(args, otherHome.path()).exitCode, kExitOk);
    EXPECT_FALSE(TempDir::ReadFile(result).empty());
    EXPECT_FALSE(::access(otherHome.file(".local").c_str(), F_OK) == 0);
}

// The printer goes silent in the middle of the receipt and comes back later (SIGUSR1). Each
// run waits out the protocol's time-outs for a dead printer (about 42 s): label slow.
class JobResumeSlow : public JobRun {
  protected:
    explicit JobResumeSlow(const std::vector<std::string>& simArgs) : JobRun(simArgs) {}

    // The first run: line 2 answered "No printer response", the rest not run.
    void RunIntoSilence() {
        EXPECT_EQ(Run().exitCode, kExitOk);
        EXPECT_EQ(TempDir::ReadFile(result),
                  "\"49\";\"0\";\"No error\";\n"
                  "\"49\";\"1\";\"No printer response\";\n"
                  "\"54\";\"9\";\"Error in previous command\";\n"
                  "\"53\";\"9\";\"Error in previous command\";\n");
        ::kill(sim.pid(), SIGUSR1);
        ASSERT_TRUE(test::WaitFor([&] {
            for (const auto& entry : sim.journalLines()) {
                if (entry.kind() == "recovered") {
                    return true;
                }
            }
            return false;
        }));
    }
};

// Command 2 is executed but its ACK is lost, and the printer answers nothing after it.
class SilentAfterExecuting : public JobResumeSlow {
  protected:
    SilentAfterExecuting() : JobResumeSlow({"--drop-ack-every", "2", "--mute-after", "2"}) {}
};

TEST_F(SilentAfterExecuting, TheNextRunAnswersTheExecutedLineWithoutSendingIt) {
    RunIntoSilence();
    EXPECT_EQ(sim.executedCommands(), First(2));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_NE(JournalNotes().find("line 2 was in flight and the counter moved"), std::string::npos)
        << JournalNotes();
    EXPECT_EQ(sim.executedCommands(), kJobReceiptCommands);
    EXPECT_EQ(Received(), kJobReceiptCommands);
    EXPECT_EQ(ClosedReceipts(), 1);
}

// The frame of line 2 is lost on the line, then the printer answers nothing: serial number,
// line 1 (two wake-ups) and the wake-up before line 2's frame are the four it answers.
class SilentAfterALostFrame : public JobResumeSlow {
  protected:
    SilentAfterALostFrame()
        : JobResumeSlow({"--drop-frame-every", "2", "--mute-after-wakeups", "4"}) {}
};

TEST_F(SilentAfterALostFrame, TheNextRunSendsTheLineOnce) {
    RunIntoSilence();
    EXPECT_EQ(sim.executedCommands(), First(1));
    EXPECT_EQ(Run().exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kJobReceiptResult);
    EXPECT_NE(JournalNotes().find("line 2 was in flight and the counter is unchanged"),
              std::string::npos)
        << JournalNotes();
    EXPECT_EQ(sim.executedCommands(), kJobReceiptCommands);
    EXPECT_EQ(ClosedReceipts(), 1);
}

}  // namespace
}  // namespace tallix
