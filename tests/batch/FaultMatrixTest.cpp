// Whole batch runs against a misbehaving printer: each row is a tallix-sim fault setting and
// a command file, and what the caller and the printer must end up with — the exit code, the
// result file's bytes, and the commands the printer executed (from its journal). No receipt
// line may be lost or executed twice.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/SimProcess.h"
#include "tests/support/StreamingPty.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::kSimSpeed;
using test::NineOptions;
using test::RunTallix;
using test::SimProcess;
using test::TempDir;

const std::string kReceipt =
    "49;PAINE;0;2;2.50;1;0;0\r\n"
    "49;LAPTE;0;1;6.20;2;0;0\r\n"
    "54;VA MULTUMIM;;;;\r\n"
    "53;;;0;20.00\r\n";

// What the printer executes for each line of kReceipt.
const std::vector<std::string> kReceiptCommands = {
    "L;;PAINE;2.50;2.000;1;1;1;0;0;",
    "L;;LAPTE;6.20;1.000;1;1;2;0;0;",
    "X;VA MULTUMIM;;;;;",
    "E;0;20.00;;;;",
};

const std::string kOk49 = R"("49";"0";"No error";)"
                          "\n";
const std::string kOk54 = R"("54";"0";"No error";)"
                          "\n";
const std::string kOk53 = R"("53";"0";"No error";"";)"
                          "\n";
const std::string kAllAnswered = kOk49 + kOk49 + kOk54 + kOk53;

std::string Failed(int command) {
    return "\"" + std::to_string(command) + R"(";"1";"No printer response";)" + "\n";
}
std::string Skipped(int command) {
    return "\"" + std::to_string(command) + R"(";"9";"Error in previous command";)" + "\n";
}

std::vector<std::string> First(size_t count) {
    return {kReceiptCommands.begin(), kReceiptCommands.begin() + static_cast<long>(count)};
}

struct FaultRow {
    const char* name;
    std::vector<std::string> simArgs;
    int speed;  // the host's -s
    int exitCode;
    std::string result;
    std::vector<std::string> executed;
};

void PrintTo(const FaultRow& row, std::ostream* out) {
    *out << row.name;
}

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultMatrix, ExitCodeResultFileAndPrintedCommands) {
    const FaultRow& row = GetParam();
    SimProcess sim(row.simArgs);
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    const std::string result = dir.file("out/receipt.result");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));

    const auto run = RunTallix(NineOptions(commands, result, sim.path(), row.speed), dir.path());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, row.exitCode);
    EXPECT_EQ(run.out + run.err, "") << "batch mode prints nothing";
    EXPECT_EQ(TempDir::ReadFile(result), row.result);
    // The journal is written as things happen; the run is over, so it is complete.
    EXPECT_EQ(sim.executedCommands(), row.executed);
}

// Two wake-ups per command and one for the serial number: the 5th wake-up is the first of
// the third command.
INSTANTIATE_TEST_SUITE_P(
    Rows, FaultMatrix,
    ::testing::Values(
        FaultRow{"NoFault", {}, kSimSpeed, kExitOk, kAllAnswered, kReceiptCommands},
        // The printer executed the frame but its ACK was lost: the moved sequence says so,
        // and the frame is not sent again.
        FaultRow{
            "LostAcks", {"--drop-ack", "2"}, kSimSpeed, kExitOk, kAllAnswered, kReceiptCommands},
        FaultRow{"EveryAckLost",
                 {"--drop-ack-every", "1"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        // Lost on the way: not executed, so sent again until it arrives.
        FaultRow{"LostFrames",
                 {"--drop-frames", "3"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        FaultRow{"EverySecondFrameLost",
                 {"--drop-frame-every", "2"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        FaultRow{"CorruptedAnswerChecksums",
                 {"--corrupt-answer-every", "2"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        FaultRow{"NineNoiseBytesBeforeTheLineFeed",
                 {"--noise", "9"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        FaultRow{
            "PrinterAt9600Baud", {"--baud", "9600"}, 9600, kExitOk, kAllAnswered, kReceiptCommands},
        FaultRow{"LateReplies",
                 {"--delay-ms", "40"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        FaultRow{"AllFaultsAtOnce",
                 {"--drop-ack-every", "3", "--drop-frame-every", "4", "--corrupt-answer-every", "5",
                  "--noise", "4", "--noise-every", "2"},
                 kSimSpeed,
                 kExitOk,
                 kAllAnswered,
                 kReceiptCommands},
        // The sequence never moves: the first command counts as not executed, though the
        // printer did execute it, and nothing more is sent.
        FaultRow{"FrozenSequence",
                 {"--freeze-sequence"},
                 kSimSpeed,
                 kExitOk,
                 Failed(49) + Skipped(49) + Skipped(54) + Skipped(53),
                 First(1)},
        // Hang-up right after the second command was executed: its confirmation never comes.
        // A line that is gone ends the wake-ups at once instead of after their 201 exchanges.
        FaultRow{"HangUpMidReceipt",
                 {"--hangup-after", "2"},
                 kSimSpeed,
                 kExitOk,
                 kOk49 + Failed(49) + Skipped(54) + Skipped(53),
                 First(2)}),
    [](const ::testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

// A printer that stops answering on a line that stays: the line that meets it waits out the
// protocol's time-outs (201 wake-up exchanges, about 42 s), the rest are skipped, and the run
// still ends with 0.
INSTANTIATE_TEST_SUITE_P(
    SlowRows, FaultMatrix,
    ::testing::Values(
        // No answer to the third command's first wake-up: not sent, so not executed.
        FaultRow{"PrinterStopsAnsweringMidReceipt",
                 {"--mute-after-wakeups", "5"},
                 kSimSpeed,
                 kExitOk,
                 kOk49 + kOk49 + Failed(54) + Skipped(53),
                 First(2)}),
    [](const ::testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

// A second run on a port that a first run holds gets 10 and touches nothing; the first run
// goes on undisturbed.
TEST(FaultMatrixPortHeld, SecondRunEndsWith10AndTheFirstIsUnaffected) {
    // Late replies stretch the first run, so that the second starts while it holds the port.
    SimProcess sim({"--delay-ms", "30"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));
    const std::string firstResult = dir.file("first.result");
    const std::string secondResult = dir.file("second.result");

    test::TallixOutcome first;
    std::thread firstRun(
        [&] { first = RunTallix(NineOptions(commands, firstResult, sim.path()), dir.path()); });
    // The first run holds the port once the printer has seen its first command frame.
    const bool started = test::WaitFor(
        [&] {
            for (const auto& entry : sim.journalLines()) {
                if (entry.kind() == "frame") {
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(30));
    const auto second = RunTallix(NineOptions(commands, secondResult, sim.path()), dir.path());
    firstRun.join();
    ASSERT_TRUE(started);

    EXPECT_EQ(second.exitCode, kExitOpenFailed);
    EXPECT_EQ(second.out + second.err, "");
    EXPECT_EQ(TempDir::ReadFile(secondResult), "");
    EXPECT_EQ(first.exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(firstResult), kAllAnswered);
    EXPECT_EQ(sim.executedCommands(), kReceiptCommands) << "each command once, by the first run";
}

// ---- Every run ends in bounded time; the result file tells the truth to the end ----

// A port that is not a terminal cannot be opened: 10, and not one byte is written to it (a
// command file named as the port by mistake keeps its content). A FIFO or /dev/zero never
// blocks the open.
TEST(FaultMatrixBounded, APortThatIsNoTerminalGives10AndGetsNoByte) {
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    const std::string result = dir.file("receipt.result");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);

    for (const std::string& port :
         {commands, fifo, folder, std::string("/dev/null"), std::string("/dev/zero")}) {
        ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
        const auto run =
            RunTallix(NineOptions(commands, result, port), dir.path(), std::chrono::seconds(60));
        ASSERT_FALSE(run.timedOut) << port;
        EXPECT_EQ(run.exitCode, kExitOpenFailed) << port;
        EXPECT_EQ(run.out + run.err, "") << port;
        EXPECT_EQ(TempDir::ReadFile(result), "old\n") << port;
    }
    EXPECT_EQ(TempDir::ReadFile(commands), kReceipt);
}

// A result path that is a FIFO nobody reads gives 20 at once instead of holding the port
// until a reader comes; nothing is executed and the port is free for the next run.
TEST(FaultMatrixBounded, AResultFifoWithoutReaderGives20AtOnce) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));
    const std::string fifo = dir.file("result.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    const auto run =
        RunTallix(NineOptions(commands, fifo, sim.path()), dir.path(), std::chrono::seconds(60));
    ASSERT_FALSE(run.timedOut) << "the run waited for a reader";
    EXPECT_EQ(run.exitCode, kExitResultFileFailed);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(sim.executedCommands().empty());

    const std::string result = dir.file("receipt.result");
    const auto next = RunTallix(NineOptions(commands, result, sim.path()), dir.path());
    EXPECT_EQ(next.exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), kAllAnswered);
}

// A result file that cannot seek (a pipe, /dev/stdout) gets every line, as a regular file
// does.
TEST(FaultMatrixBounded, AResultPipeGetsEveryLine) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));

    const auto run = RunTallix(NineOptions(commands, "/dev/stdout", sim.path()), dir.path());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(run.out, kAllAnswered) << "standard output is the pipe the test reads";
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(sim.executedCommands(), kReceiptCommands);
}

// -i and -o naming one file, however spelled: 20 before the file is emptied or anything is
// sent.
TEST(FaultMatrixBounded, CommandAndResultFileTheSameGive20AndKeepTheFile) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));
    const std::string symbolic = dir.file("symbolic.txt");
    const std::string hard = dir.file("hard.txt");
    ASSERT_EQ(symlink(commands.c_str(), symbolic.c_str()), 0);
    ASSERT_EQ(link(commands.c_str(), hard.c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);

    for (const std::string& result :
         {commands, symbolic, hard, dir.file("sub/../receipt.txt"), dir.file("./receipt.txt")}) {
        const auto run = RunTallix(NineOptions(commands, result, sim.path()), dir.path());
        ASSERT_FALSE(run.timedOut) << result;
        EXPECT_EQ(run.exitCode, kExitResultFileFailed) << result;
        EXPECT_EQ(run.out + run.err, "") << result;
        EXPECT_EQ(TempDir::ReadFile(commands), kReceipt) << result;
    }
    EXPECT_TRUE(sim.executedCommands().empty());
}

// A receipt of many sales and the payment of the rest, long enough that a run is still
// mid-receipt when a signal comes.
std::string ManySales(int sales) {
    std::string text;
    for (int i = 0; i < sales; ++i) {
        text += "49;PAINE;0;1;1.00;1;0;0\r\n";
    }
    return text + "53;;;0;\r\n";
}

// Runs tallix and sends it signal once the printer has executed `executed` commands (or its
// journal shows `mutedWakeUps` unanswered wake-ups, when that is not 0).
test::TallixOutcome RunAndSignal(const SimProcess& sim, const std::vector<std::string>& args,
                                 const std::string& home, int signal, size_t executed,
                                 size_t mutedWakeUps = 0) {
    std::atomic<pid_t> pid{0};
    test::TallixOutcome outcome;
    std::thread runner([&] {
        outcome = RunTallix(args, home, std::chrono::seconds(180), [&](pid_t p) { pid = p; });
    });
    const bool reached = test::WaitFor(
        [&] {
            if (mutedWakeUps == 0) {
                return sim.executedCommands().size() >= executed;
            }
            size_t muted = 0;
            for (const auto& entry : sim.journalLines()) {
                muted += entry.kind() == "wakeup" && !entry.flag("answered") ? 1 : 0;
            }
            return muted >= mutedWakeUps;
        },
        std::chrono::seconds(60));
    if (reached && pid.load() > 0) {
        (void)kill(pid.load(), signal);
    }
    runner.join();
    EXPECT_TRUE(reached) << "the run never got that far";
    return outcome;
}

// SIGTERM, SIGINT or SIGHUP mid-receipt: the exchange in flight finishes and its line is
// written, no further command is sent, and the process ends by that signal with the port
// free for the next run.
TEST(FaultMatrixBounded, AStopSignalLetsTheCommandInFlightFinishAndItsLineBeWritten) {
    const std::string sale = R"("49";"0";"No error";)";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        // Late replies keep the run waiting in its reads most of the time.
        SimProcess sim({"--delay-ms", "20"});
        ASSERT_TRUE(sim.ready());
        TempDir dir;
        const std::string commands = dir.file("receipt.txt");
        const std::string result = dir.file("receipt.result");
        ASSERT_TRUE(TempDir::WriteFile(commands, ManySales(40)));

        const auto run =
            RunAndSignal(sim, NineOptions(commands, result, sim.path()), dir.path(), signal, 5);
        ASSERT_FALSE(run.timedOut) << signal;
        EXPECT_EQ(run.termSignal, signal);
        EXPECT_EQ(run.out + run.err, "") << signal;
        const std::vector<std::string> lines = test::SplitLines(TempDir::ReadFile(result));
        const size_t executed = sim.executedCommands().size();
        EXPECT_GE(executed, 5u) << signal;
        EXPECT_LT(executed, 41u) << signal << ": the run was not stopped";
        EXPECT_EQ(lines.size(), executed) << signal << ": one result line per executed command";
        EXPECT_EQ(lines, std::vector<std::string>(lines.size(), sale)) << signal;

        // The port is free: the next run pays the rest and closes the receipt.
        const std::string payment = dir.file("payment.txt");
        const std::string paid = dir.file("payment.result");
        ASSERT_TRUE(TempDir::WriteFile(payment, "53;;;0;\r\n"));
        const auto next = RunTallix(NineOptions(payment, paid, sim.path()), dir.path());
        EXPECT_EQ(next.exitCode, kExitOk) << signal;
        EXPECT_EQ(TempDir::ReadFile(paid), kOk53) << signal;
    }
}

// SIGTERM while the run waits out the time-outs of a printer that stopped answering: the
// signal neither cuts the waits short nor ends the process early. The line in flight is
// answered "No printer response", nothing more is sent or written.
TEST(FaultMatrixBoundedSlow, AStopSignalDuringTheTimeOutsWaitsForTheExchangeToEnd) {
    // Wake-ups 1 (serial number) to 5 are answered: the third command's first is not.
    SimProcess sim({"--mute-after-wakeups", "5"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    const std::string result = dir.file("receipt.result");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));

    const auto run =
        RunAndSignal(sim, NineOptions(commands, result, sim.path()), dir.path(), SIGTERM, 0, 3);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.termSignal, SIGTERM);
    EXPECT_EQ(TempDir::ReadFile(result), kOk49 + kOk49 + Failed(54));
    EXPECT_EQ(sim.executedCommands(), First(2));
}

// A line that never falls silent (here 960 bytes a second, as a device at another speed would
// send): the drain gives up, the serial number cannot be read, the run ends with 2 and lets the
// port go, so the next run can take it (and meets the same line).
TEST(FaultMatrixEndlessLine, RunEndsAndTheNextRunCanTakeThePort) {
    test::StreamingPty line(960);
    ASSERT_FALSE(line.path().empty());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(commands, kReceipt));
    for (const char* name : {"first.result", "second.result"}) {
        // The time-out is a hang guard only: a drain that never ended ran until killed.
        const auto run = RunTallix(NineOptions(commands, dir.file(name), line.path()), dir.path(),
                                   std::chrono::seconds(40));
        ASSERT_FALSE(run.timedOut) << name;
        EXPECT_EQ(run.exitCode, kExitSerialNumberFailed) << name;
        EXPECT_EQ(run.out + run.err, "");
    }
    const auto received = line.received();
    EXPECT_EQ(std::count(received.begin(), received.end(), 0x0A), 0) << "no command frame";
}

// A printer that answers late: every reply (ACK and wake-up answer) held back by a fixed time or
// a random one. An answer given to an earlier wake-up request, before the frame, must never
// pass for one given after it: each command reaches the printer's execution at most once, a
// "No error" line was executed exactly once, and the paper shows what the result file says.
const std::string kLongReceipt =
    "49;PAINE;0;2;2.50;1;0;0\r\n"
    "49;LAPTE;0;1;6.20;2;0;0\r\n"
    "49;OUA;0;10;0.90;2;0;0\r\n"
    "49;MERE;0;1.250;4.90;2;0;0\r\n"
    "49;APA;0;3;3.75;1;0;0\r\n"
    "49;CAFEA;0;1;42.50;1;0;0\r\n"
    "49;ZAHAR;0;2;5.40;1;0;0\r\n"
    "200;-10;\r\n"
    "54;VA MULTUMIM;;;;\r\n"
    "53;;;1;30.00\r\n"
    "53;;;0;100.00\r\n";
constexpr std::size_t kLongReceiptLines = 11;

struct LateRow {
    const char* name;
    std::vector<std::string> simArgs;
};

void PrintTo(const LateRow& row, std::ostream* out) {
    *out << row.name;
}

// Dates and times on the paper differ from run to run.
std::string WithoutDates(const std::string& paper) {
    static const std::regex kDate(R"(\d\d-\d\d-\d{4} \d\d:\d\d)");
    return std::regex_replace(paper, kDate, "DD-MM-YYYY HH:MM");
}

// Texts of the frames the printer took (intact and not dropped), executed or refused.
std::vector<std::string> FramesTaken(const SimProcess& sim) {
    std::vector<std::string> taken;
    for (const auto& entry : sim.journalLines()) {
        if (entry.kind() == "frame" && entry.flag("crc_ok") && entry.str("fault") != "drop-frame") {
            taken.push_back(entry.text());
        }
    }
    return taken;
}

struct LateOutcome {
    int exitCode = -1;
    std::vector<std::string> result;  // result lines
    std::vector<std::string> taken;
    std::vector<std::string> executed;
    std::string paper;
};

LateOutcome RunLongReceipt(const std::vector<std::string>& simArgs) {
    SimProcess sim(simArgs);
    EXPECT_TRUE(sim.ready());
    TempDir dir;
    const std::string commands = dir.file("receipt.txt");
    const std::string result = dir.file("receipt.result");
    EXPECT_TRUE(TempDir::WriteFile(commands, kLongReceipt));
    const auto run =
        RunTallix(NineOptions(commands, result, sim.path()), dir.path(), std::chrono::seconds(280));
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.out + run.err, "") << "batch mode prints nothing";
    return {run.exitCode, test::SplitLines(TempDir::ReadFile(result)), FramesTaken(sim),
            sim.executedCommands(), WithoutDates(sim.paper())};
}

class LateAnswers : public ::testing::TestWithParam<LateRow> {
  protected:
    // The same receipt on a punctual printer: what each line executes and the paper it gives.
    static const LateOutcome& Punctual() {
        static const LateOutcome punctual = RunLongReceipt({});
        return punctual;
    }
};

TEST_P(LateAnswers, EachCommandExecutedAtMostOnceAndNoErrorMeansExecuted) {
    const LateOutcome& reference = Punctual();
    ASSERT_EQ(reference.result.size(), kLongReceiptLines);
    ASSERT_EQ(reference.executed.size(), kLongReceiptLines);

    const LateOutcome late = RunLongReceipt(GetParam().simArgs);
    EXPECT_EQ(late.exitCode, kExitOk);
    ASSERT_EQ(late.result.size(), kLongReceiptLines);
    // The lines answered "No error" come first; after a failed line the rest are not sent.
    std::size_t answered = 0;
    while (answered < late.result.size() &&
           late.result[answered].find("\"No error\"") != std::string::npos) {
        ++answered;
    }
    for (const std::string& frame : std::set<std::string>(late.taken.begin(), late.taken.end())) {
        EXPECT_EQ(std::count(late.taken.begin(), late.taken.end(), frame), 1)
            << "taken by the printer more than once: " << frame;
    }
    // Every "No error" line executed exactly once, in order; a failed line perhaps.
    const std::vector<std::string> confirmed(
        reference.executed.begin(), reference.executed.begin() + static_cast<long>(answered));
    ASSERT_GE(late.executed.size(), answered);
    EXPECT_LE(late.executed.size(), answered + 1);
    EXPECT_EQ(std::vector<std::string>(late.executed.begin(),
                                       late.executed.begin() + static_cast<long>(answered)),
              confirmed);
    // A punctual printer's paper when every line went through.
    if (answered == kLongReceiptLines) {
        EXPECT_EQ(late.paper, reference.paper);
    }
    // Late answers cost time, not lines: the whole receipt goes through.
    EXPECT_EQ(late.result, reference.result);
}

INSTANTIATE_TEST_SUITE_P(Rows, LateAnswers,
                         ::testing::Values(LateRow{"Delay0ms", {"--delay-ms", "0"}},
                                           LateRow{"Delay50ms", {"--delay-ms", "50"}},
                                           LateRow{"Delay150ms", {"--delay-ms", "150"}},
                                           LateRow{"Delay250ms", {"--delay-ms", "250"}}),
                         [](const ::testing::TestParamInfo<LateRow>& info) {
                             return std::string(info.param.name);
                         });

INSTANTIATE_TEST_SUITE_P(
    SlowRows, LateAnswers,
    ::testing::Values(LateRow{"Delay400ms", {"--delay-ms", "400"}},
                      LateRow{"Delay1000ms", {"--delay-ms", "1000"}},
                      LateRow{"Delay2000ms", {"--delay-ms", "2000"}},
                      LateRow{"Jitter0To600ms", {"--jitter-ms", "0,600", "--seed", "11"}}),
    [](const ::testing::TestParamInfo<LateRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallix
