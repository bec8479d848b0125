// A long run on a bad line: 1,000 command exchanges while the printer loses one ACK in five
// and corrupts the checksum of one wake-up answer in ten. Every command must be executed
// exactly once, in order, and answered "No error".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

TEST(Soak, ThousandExchangesOnALossyLineExecuteEachCommandOnce) {
    constexpr int kCommands = 1000;
    test::SimProcess sim({"--drop-ack-every", "5", "--corrupt-answer-every", "10"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string commands;
    std::string expectedResult;
    std::vector<std::string> expectedExecuted;
    for (int i = 1; i <= kCommands; ++i) {
        // Free text outside a receipt: a non-fiscal slip, which the printer always executes.
        commands += "54;SOAK " + std::to_string(i) + ";;;;\r\n";
        expectedResult += "\"54\";\"0\";\"No error\";\n";
        expectedExecuted.push_back("X;SOAK " + std::to_string(i) + ";;;;;");
    }
    ASSERT_TRUE(TempDir::WriteFile(dir.file("soak.txt"), commands));

    const auto run = test::RunTallix(
        test::NineOptions(dir.file("soak.txt"), dir.file("soak.result"), sim.path()), dir.path(),
        std::chrono::minutes(15));
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(dir.file("soak.result")), expectedResult);
    const std::vector<std::string> executed = sim.executedCommands();
    EXPECT_EQ(executed.size(), expectedExecuted.size());
    EXPECT_TRUE(executed == expectedExecuted) << "a command was lost, doubled or reordered";

    // The faults did strike: lost ACKs and corrupted answers are in the journal.
    int lostAcks = 0;
    int corrupted = 0;
    for (const auto& entry : sim.journalLines()) {
        lostAcks += entry.kind() == "frame" && entry.str("fault") == "drop-ack" ? 1 : 0;
        corrupted += entry.kind() == "wakeup" && entry.flag("corrupted") ? 1 : 0;
    }
    EXPECT_EQ(lostAcks, kCommands / 5);
    EXPECT_GE(corrupted, kCommands / 10);
}

}  // namespace
}  // namespace tallix
