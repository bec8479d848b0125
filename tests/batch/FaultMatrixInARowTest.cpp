// Runs one after another on the same printer, as a till lives: receipts in a row on a late
// printer, a serial-number-only run before a job, a killed run followed by another, and a
// printer that answers twice, puts answer-shaped garbage on the line, loses answers, resets
// or moves its counter late. Whatever happens, the printer's own journal must show that no
// command was executed twice and that every line answered "No error" was executed exactly
// once. Every command text below is used once in a whole row, so a text the printer executed
// twice is a command executed twice.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::NineOptions;
using test::RunTallix;
using test::SimProcess;
using test::SplitLines;
using test::TempDir;

// A command file and, line by line, what the printer executes for it.
struct Job {
    std::string file;
    std::vector<std::string> printed;
};

// Receipt number r: two sales, a text and a cash payment, all four unique to r.
Job Receipt(int r) {
    const std::string tag = "R" + std::to_string(r);
    const std::string pay = std::to_string(100 + r) + ".00";
    return {"49;" + tag + "A;0;1;1.00;1;0;0\r\n" + "49;" + tag + "B;0;1;2.00;2;0;0\r\n" +
                "54;THANKS " + tag + ";;;;\r\n" + "53;;;0;" + pay + "\r\n",
            {"L;;" + tag + "A;1.00;1.000;1;1;1;0;0;", "L;;" + tag + "B;2.00;1.000;1;1;2;0;0;",
             "X;THANKS " + tag + ";;;;;", "E;0;" + pay + ";;;;"}};
}

// A receipt of `sales` sales and the cash payment.
Job LongReceipt(int sales) {
    Job job;
    for (int i = 1; i <= sales; ++i) {
        job.file += "49;S" + std::to_string(i) + ";0;1;1.00;1;0;0\r\n";
        job.printed.push_back("L;;S" + std::to_string(i) + ";1.00;1.000;1;1;1;0;0;");
    }
    job.file += "53;;;0;999.00\r\n";
    job.printed.emplace_back("E;0;999.00;;;;");
    return job;
}

// One printer and one till: runs of tallix on it, and the check of what the printer did.
class Till {
  public:
    explicit Till(const std::vector<std::string>& simArgs) : sim(simArgs) {}

    // A job run to its end; returns its result lines.
    std::vector<std::string> run(const Job& job, const std::vector<std::string>& extra = {}) {
        const auto args = write(job, extra);
        const auto outcome = RunTallix(args, home.path(), std::chrono::minutes(10));
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.exitCode, kExitOk);
        EXPECT_EQ(outcome.out + outcome.err, "") << "batch mode prints nothing";
        std::vector<std::string> lines = SplitLines(TempDir::ReadFile(result));
        check(job, lines);
        return lines;
    }
    // A job killed with SIGKILL once the printer has executed `count` commands in all.
    void runKilled(const Job& job, std::size_t count) {
        test::BackgroundProcess tallix(TALLIX_PATH, write(job, {}),
                                       test::TallixEnvironment(home.path()));
        ASSERT_GT(tallix.pid(), 0);
        ASSERT_TRUE(test::WaitFor([&] { return sim.executedCommands().size() >= count; },
                                  std::chrono::seconds(120)));
        tallix.kill(SIGKILL);
        ASSERT_TRUE(tallix.wait(std::chrono::seconds(10)));
        jobs_.push_back(job);
    }
    // A serial-number-only run.
    void readSerial() {
        auto args = NineOptions(commands, result, sim.path());
        args.emplace_back("-n");
        const auto outcome = RunTallix(args, home.path(), std::chrono::minutes(5));
        EXPECT_EQ(outcome.exitCode, kExitOk);
        EXPECT_EQ(TempDir::ReadFile(result), "VX37000001");
    }

    // No command executed twice, in all the runs so far.
    void checkNeverTwice() const {
        const auto executed = sim.executedCommands();
        for (const Job& job : jobs_) {
            for (const std::string& text : job.printed) {
                EXPECT_LE(std::count(executed.begin(), executed.end(), text), 1)
                    << "executed " << std::count(executed.begin(), executed.end(), text)
                    << " times: " << text;
            }
        }
    }

    SimProcess sim;
    TempDir home;
    std::string commands = home.file("job.txt");
    std::string result = home.file("job.result");

  private:
    std::vector<std::string> write(const Job& job, const std::vector<std::string>& extra) {
        EXPECT_TRUE(TempDir::WriteFile(commands, job.file));
        jobs_.push_back(job);
        auto args = NineOptions(commands, result, sim.path());
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    // Every "No error" line of this run executed exactly once, every other at most once.
    void check(const Job& job, const std::vector<std::string>& lines) const {
        const auto executed = sim.executedCommands();
        ASSERT_EQ(lines.size(), job.printed.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto times = std::count(executed.begin(), executed.end(), job.printed[i]);
            if (lines[i].find("\"No error\"") != std::string::npos) {
                EXPECT_EQ(times, 1) << "line " << i + 1 << " reads \"No error\" and was executed "
                                    << times << " times: " << job.printed[i];
            } else {
                EXPECT_LE(times, 1) << "line " << i + 1 << ": " << job.printed[i];
            }
        }
    }

    std::vector<Job> jobs_;
};

struct Row {
    const char* name;
    std::vector<std::string> simArgs;
    std::function<void(Till&)> script;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

// Four receipts in a row, each going through in full.
void FourReceipts(Till& till) {
    for (int r = 1; r <= 4; ++r) {
        const auto lines = till.run(Receipt(r));
        for (const std::string& line : lines) {
            EXPECT_NE(line.find("\"No error\""), std::string::npos)
                << "receipt " << r << ": " << line;
        }
    }
}

// The serial number, then a job, twice.
void SerialThenJob(Till& till) {
    for (int r = 1; r <= 2; ++r) {
        till.readSerial();
        till.run(Receipt(r));
    }
}

// A run killed after its first sale, then another receipt as a new job.
void KilledThenNoResume(Till& till) {
    till.runKilled(Receipt(1), 1);
    till.run(Receipt(2), {"--no-resume"});
    till.run(Receipt(3));
}

// Receipts in a row on a misbehaving printer: whatever each line reads, it tells the truth.
void TwoReceipts(Till& till) {
    till.run(Receipt(1));
    till.run(Receipt(2));
}

// The printer lost the second sale's frame and came back with its counter at 1.
void CounterBackToOne(Till& till) {
    const auto lines = till.run(Receipt(1));
    ASSERT_GE(lines.size(), 2U);
    EXPECT_EQ(lines[1].find("\"No error\""), std::string::npos)
        << "a sale the printer never executed reads " << lines[1];
}

// Killed after `count` commands on a printer 0.7 s late that answers every wake-up again
// 4 s later: once the line has been quiet for 3 s, copies of answers given before the kill,
// showing older counters, are still to come; the job is then continued.
std::function<void(Till&)> KilledThenResumed(std::size_t count) {
    return [count](Till& till) {
        till.runKilled(Receipt(1), count);
        till.run(Receipt(1));
    };
}

// One answer in 20 lost on a long receipt: it completes.
void LongReceiptCompletes(Till& till) {
    const auto lines = till.run(LongReceipt(149));
    ASSERT_EQ(lines.size(), 150U);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_NE(lines[i].find("\"No error\""), std::string::npos)
            << "line " << i + 1 << ": " << lines[i];
    }
}

class InARow : public ::testing::TestWithParam<Row> {};

TEST_P(InARow, NoCommandTwiceAndNoErrorMeansExecutedOnce) {
    Till till(GetParam().simArgs);
    ASSERT_TRUE(till.sim.ready());
    GetParam().script(till);
    till.checkNeverTwice();
}

std::string Name(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

std::vector<std::string> Delay(int ms) {
    return {"--delay-ms", std::to_string(ms)};
}

// The garbage rows: a slow line with lost ACKs and answer-shaped bytes with a wrong checksum
// at random moments, one row per seed.
Row Garbage(const char* name, int seed) {
    return {name,
            {"--delay-ms", "250", "--drop-ack-every", "2", "--false-answer-chance", "30",
             "--false-answer-ms", "0,600", "--seed", std::to_string(seed)},
            TwoReceipts};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InARow,
    ::testing::Values(
        Row{"Delay0ms", Delay(0), FourReceipts}, Row{"Delay150ms", Delay(150), FourReceipts},
        Row{"Delay250ms", Delay(250), FourReceipts},
        Row{"SerialNumberThenJobAt250ms", Delay(250), SerialThenJob},
        Row{"AnswerTwiceWithLostAcks",
            {"--double-answer-every", "2", "--double-gap-ms", "250", "--drop-ack-every", "2"},
            TwoReceipts},
        Row{"AnswerTwiceWithLostFrames",
            {"--double-answer-every", "2", "--double-gap-ms", "250", "--drop-frame-every", "3"},
            TwoReceipts},
        Row{"AnswerTwiceWithARefusedFrame",
            {"--double-answer-every", "2", "--double-gap-ms", "250", "--refuse-frame-at", "2"},
            TwoReceipts},
        Row{"CounterBackToOneAfterALostFrame",
            {"--sequence", "40", "--drop-frame-at", "2", "--set-sequence-at", "2,1"},
            CounterBackToOne}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    SlowRows, InARow,
    ::testing::Values(
        Row{"Delay400ms", Delay(400), FourReceipts}, Row{"Delay600ms", Delay(600), FourReceipts},
        Row{"Delay1000ms", Delay(1000), FourReceipts},
        Row{"Delay2000ms", Delay(2000), FourReceipts},
        Row{"Jitter0To600ms", {"--jitter-ms", "0,600", "--seed", "11"}, FourReceipts},
        Row{"SerialNumberThenJobAt600ms", Delay(600), SerialThenJob},
        Row{"KilledThenNoResumeAt400ms", Delay(400), KilledThenNoResume},
        Row{"KilledThenNoResumeAt1000ms", Delay(1000), KilledThenNoResume},
        Garbage("GarbageSeed1", 1), Garbage("GarbageSeed2", 2), Garbage("GarbageSeed3", 3),
        Garbage("GarbageSeed4", 4), Garbage("GarbageSeed5", 5), Garbage("GarbageSeed6", 6),
        Row{"CounterMoves300msLateWithLostAcks",
            {"--sequence-lag-ms", "300", "--drop-ack-every", "2"},
            TwoReceipts},
        Row{"LateCopiesOnResumeAfter1",
            {"--delay-ms", "700", "--double-answer-every", "1", "--double-gap-ms", "4000"},
            KilledThenResumed(1)},
        Row{"LateCopiesOnResumeAfter2",
            {"--delay-ms", "700", "--double-answer-every", "1", "--double-gap-ms", "4000"},
            KilledThenResumed(2)},
        Row{"LateCopiesOnResumeAfter3",
            {"--delay-ms", "700", "--double-answer-every", "1", "--double-gap-ms", "4000"},
            KilledThenResumed(3)},
        Row{"OneAnswerIn20LostOnA150LineReceipt",
            {"--drop-answer-every", "20"},
            LongReceiptCompletes}),
    Name);

// Detection on a printer that answers half a second late: the speed it reports is the
// printer's, not the one the port was set to when a late answer came in.
TEST(InARowDetect, SlowALatePrinterIsFoundAtItsOwnSpeed) {
    SimProcess sim({"--delay-ms", "500"});
    ASSERT_TRUE(sim.ready());
    TempDir home;
    const auto outcome = RunTallix({"--detect", sim.path()}, home.path(), std::chrono::minutes(5));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, sim.path() + "\t9600\t1\tVX37000001\n");
}

}  // namespace
}  // namespace tallix
