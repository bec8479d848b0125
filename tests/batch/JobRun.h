#pragma once

// A printer, a home folder and one receipt for the tests of jobs that stop part-way and are
// run again: tallix runs as a process (in the foreground, or in the background to be
// killed), the printer's journal tells what it executed, the line trace what tallix decided.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/batch/TallixRun.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace tallix::test {

// Four lines: two sales, a text, the payment that closes the receipt.
inline const std::string kJobReceipt =
    "49;PAINE;0;2;2.50;1;0;0\r\n"
    "49;LAPTE;0;1;6.20;2;0;0\r\n"
    "54;VA MULTUMIM;;;;\r\n"
    "53;;;0;20.00\r\n";

// What the printer executes for each line of kJobReceipt.
inline const std::vector<std::string> kJobReceiptCommands = {
    "L;;PAINE;2.50;2.000;1;1;1;0;0;",
    "L;;LAPTE;6.20;1.000;1;1;2;0;0;",
    "X;VA MULTUMIM;;;;;",
    "E;0;20.00;;;;",
};

// The result file of one uninterrupted run of kJobReceipt.
inline const std::string kJobReceiptResult =
    "\"49\";\"0\";\"No error\";\n"
    "\"49\";\"0\";\"No error\";\n"
    "\"54\";\"0\";\"No error\";\n"
    "\"53\";\"0\";\"No error\";\"\";\n";

inline std::vector<std::string> Repeated(const std::vector<std::string>& texts, int times) {
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), texts.begin(), texts.end());
    }
    return all;
}

class JobRun : public ::testing::Test {
  protected:
    explicit JobRun(const std::vector<std::string>& simArgs = {}) : sim(simArgs) {}

    void SetUp() override {
        ASSERT_TRUE(sim.ready());
        ASSERT_TRUE(TempDir::WriteFile(commands, kJobReceipt));
    }

    // The arguments of a run of the command file, traced into trace.
    std::vector<std::string> Args(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> args = NineOptions(commands, result, sim.path());
        args.insert(args.end(), {"--trace", trace});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    // One run to its end; it must print nothing.
    TallixOutcome Run(const std::vector<std::string>& extra = {}) {
        TallixOutcome outcome = RunTallix(Args(extra), home.path());
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.out + outcome.err, "") << "batch mode prints nothing";
        return outcome;
    }
    // A run killed with SIGKILL as soon as the printer has executed count commands in all.
    void RunKilledAfter(std::size_t count) {
        BackgroundProcess tallix(TALLIX_PATH, Args(), TallixEnvironment(home.path()));
        ASSERT_GT(tallix.pid(), 0);
        ASSERT_TRUE(WaitFor([&] { return sim.executedCommands().size() >= count; },
                            std::chrono::seconds(20)));
        tallix.kill(SIGKILL);
        ASSERT_EQ(tallix.wait(std::chrono::seconds(10)), 128 + SIGKILL);
    }

    // The journal notes of the last traced run.
    std::string JournalNotes() const {
        std::string notes;
        for (const std::string& line : SplitLines(TempDir::ReadFile(trace))) {
            if (line.find(" JOURNAL  | ") != std::string::npos) {
                notes += line.substr(line.find('|') + 2) + "\n";
            }
        }
        return notes;
    }
    // The command frames that reached the printer intact (executed, refused or dropped).
    std::vector<std::string> Received() const {
        std::vector<std::string> texts;
        for (const auto& entry : sim.journalLines()) {
            if (entry.kind() == "frame" && entry.flag("crc_ok")) {
                texts.push_back(entry.text());
            }
        }
        return texts;
    }
    std::string JournalFile() const { return home.file(".local/state/tallix/VX37000001.journal"); }
    // Receipts the printer has closed, from its paper.
    int ClosedReceipts() const {
        const std::string paper = sim.paper();
        int count = 0;
        for (std::size_t at = paper.find("BON FISCAL NR."); at != std::string::npos;
             at = paper.find("BON FISCAL NR.", at + 1)) {
            ++count;
        }
        return count;
    }

    SimProcess sim;
    TempDir home;
    std::string commands = home.file("receipt.txt");
    std::string result = home.file("receipt.result");
    std::string trace = home.file("line.trace");
};

}  // namespace tallix::test
