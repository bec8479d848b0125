// tallix killed with SIGKILL at 100 moments spread over a whole receipt, and right after each
// command the printer executed; each time the same file is run again until a run finishes.
// Whatever moment the kill hit (before the journal write, inside it, between it and the frame,
// before the ACK, before the closing wake-up, between lines, at the end), the printer must
// have executed every command of the receipt exactly once and the finishing run's result
// file must be the one an uninterrupted run writes. About two minutes: label slow.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>

#include "batch/ExitCodes.h"
#include "journal/JournalSlot.h"
#include "tests/batch/JobRun.h"

namespace tallix {
namespace {

using test::BackgroundProcess;
using test::TempDir;
using test::WaitFor;
using Clock = std::chrono::steady_clock;

// Eight lines: six sales, a text and the payment that closes the receipt.
const std::string kLongReceipt =
    "49;PAINE;0;2;2.50;1;0;0\r\n"
    "49;LAPTE;0;1;6.20;2;0;0\r\n"
    "49;MERE;0;1.250;4.90;2;0;0\r\n"
    "49;APA;0;3;3.75;1;0;0\r\n"
    "49;CASCAVAL;0;0.450;32.00;2;0;0\r\n"
    "49;CIOCOLATA;0;1;8.99;1;0;0\r\n"
    "54;VA MULTUMIM;;;;\r\n"
    "53;;;0;100.00\r\n";

class KillSoak : public test::JobRun {
  protected:
    void SetUp() override {
        JobRun::SetUp();
        ASSERT_TRUE(TempDir::WriteFile(commands, kLongReceipt));
    }

    // The journal's newest record, if any.
    std::optional<JournalRecord> Journal() const {
        return DecodeJournal(TempDir::ReadFile(JournalFile()), "VX37000001").record;
    }
    // The journal recorded a job as finished after generation: the kill came after the last
    // line was answered and the job's end recorded, while the process was closing the port.
    bool FinishedSince(uint64_t generation) const {
        const std::optional<JournalRecord> record = Journal();
        return record && record->generation > generation && record->state.finished;
    }

    // What the kill found, from the notes of the run after it.
    std::string Outcome(int killedExitCode) const {
        if (killedExitCode == kExitOk) {
            return "run had finished before the kill";
        }
        const std::string notes = JournalNotes();
        if (notes.find("it was executed and is not sent again") != std::string::npos) {
            return "line in flight, found executed";
        }
        if (notes.find("it was not executed and is sent again") != std::string::npos) {
            return "line in flight, found not executed";
        }
        if (notes.find("resuming at line") != std::string::npos) {
            return "between lines, nothing in flight";
        }
        if (notes.find("last job finished") != std::string::npos) {
            return "before the first frame (earlier job finished)";
        }
        return "other: " + notes;
    }
};

TEST_F(KillSoak, EveryCommandIsExecutedExactlyOnceWhereverTallixIsKilled) {
    // An uninterrupted run: the commands, the result file, and the duration the timed kill
    // points are spread over.
    const auto start = Clock::now();
    ASSERT_EQ(Run().exitCode, kExitOk);
    const auto duration = Clock::now() - start;
    const std::vector<std::string> receipt = sim.executedCommands();
    const std::string expectedResult = TempDir::ReadFile(result);
    ASSERT_EQ(receipt.size(), 8u);

    // 100 kill moments at fixed fractions of that duration, then one right after each
    // command the printer executed.
    struct KillPoint {
        Clock::duration after{};
        std::size_t commands = 0;  // when not 0: kill once the printer executed this many
    };
    std::vector<KillPoint> points;
    for (int i = 0; i < 100; ++i) {
        points.push_back({duration * (2 * i + 1) / 200, 0});
    }
    for (std::size_t k = 1; k <= receipt.size(); ++k) {
        points.push_back({{}, k});
    }

    std::map<std::string, int> outcomes;
    int reruns = 0;
    for (std::size_t p = 0; p < points.size(); ++p) {
        SCOPED_TRACE("kill point " + std::to_string(p));
        const std::size_t executedBefore = sim.executedCommands().size();
        const std::optional<JournalRecord> journalBefore = Journal();
        ASSERT_TRUE(journalBefore);
        int killedCode = -1;
        {
            BackgroundProcess tallix(TALLIX_PATH, Args(), test::TallixEnvironment(home.path()));
            ASSERT_GT(tallix.pid(), 0);
            if (points[p].commands == 0) {
                const auto deadline =
                    std::chrono::duration_cast<std::chrono::milliseconds>(points[p].after);
                WaitFor([&] { return !tallix.running(); }, deadline);
            } else {
                ASSERT_TRUE(WaitFor(
                    [&] {
                        return sim.executedCommands().size() >= executedBefore + points[p].commands;
                    },
                    std::chrono::seconds(20)));
            }
            tallix.kill(SIGKILL);
            const std::optional<int> code = tallix.wait(std::chrono::seconds(10));
            ASSERT_TRUE(code);
            killedCode = *code;
        }
        // Run again until a run finishes the job (the first one always should).
        bool finished = killedCode == kExitOk || FinishedSince(journalBefore->generation);
        std::string outcome = killedCode == kExitOk || !finished
                                  ? Outcome(killedCode)
                                  : "killed after the job's end was recorded";
        if (finished) {
            ASSERT_EQ(TempDir::ReadFile(result), expectedResult);
        }
        for (int attempt = 0; attempt < 3 && !finished; ++attempt) {
            ++reruns;
            ASSERT_EQ(Run().exitCode, kExitOk);
            if (attempt == 0) {
                outcome = Outcome(killedCode);
            }
            finished = TempDir::ReadFile(result) == expectedResult;
        }
        ASSERT_TRUE(finished) << TempDir::ReadFile(result);
        ++outcomes[outcome];

        const std::vector<std::string> executed = sim.executedCommands();
        const std::vector<std::string> thisTime(
            executed.begin() + static_cast<std::ptrdiff_t>(executedBefore), executed.end());
        ASSERT_EQ(thisTime, receipt) << outcome;
    }
    EXPECT_EQ(ClosedReceipts(), static_cast<int>(points.size()) + 1);

    std::printf("[ KILLS    ] %zu kill points, %d runs after them; what the next run found:\n",
                points.size(), reruns);
    for (const auto& [outcome, count] : outcomes) {
        std::printf("[ KILLS    ] %4d  %s\n", count, outcome.c_str());
        EXPECT_EQ(outcome.rfind("other", 0), std::string::npos) << outcome;
    }
}

}  // namespace
}  // namespace tallix
