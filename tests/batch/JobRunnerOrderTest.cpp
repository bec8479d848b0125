// The order in which the job runner records and sends: whatever becomes of a frame, the job
// journal on disk names its line as in flight, with the counter read right before it, by the
// time the frame is delivered. A run killed while a frame is on the line therefore leaves the
// next run what it needs to decide that line by the counter, never to send it blindly again.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/RunSequence.h"
#include "journal/JobJournal.h"
#include "tests/support/RecorderOptions.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::DeviceScript;
using test::TempDir;

const std::string kSerial = "AB12345678";  // what the recording device reports

// What a run started at the moment of a delivery would find in the journal.
struct SeenAtDelivery {
    std::string call;
    int32_t sequenceBefore = 0;
    std::optional<JobState> journal;
};

class RunnerOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        options = test::RecorderOptions(dir.file("commands.txt"), dir.file("result.txt"));
        script.sequence = 41;
        script.onDeliver = [this](const std::string& call, int32_t sequenceBefore) {
            const JobJournal reader(folder, kSerial, [](const std::string&) {});
            seen.push_back({call, sequenceBefore, reader.saved()});
        };
    }

    int Run(const std::string& commands) {
        EXPECT_TRUE(TempDir::WriteFile(options.commandFilePath, commands));
        seen.clear();
        return RunBatch(options, script.factory(), {}, folder);
    }

    TempDir dir;
    const std::string folder = dir.file("journals");
    Options options;
    DeviceScript script;
    std::vector<SeenAtDelivery> seen;
};

TEST_F(RunnerOrder, EveryFrameIsInFlightOnDiskWithTheCounterReadBeforeIt) {
    // Line 2 executes nothing: it is passed over without a frame and without a record.
    const std::string commands = "51\n109\n0;a note\n200;5;\n";
    ASSERT_EQ(Run(commands), kExitOk);
    ASSERT_EQ(seen.size(), 3U);
    const std::size_t lines[] = {0, 1, 3};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(seen[i].call);
        EXPECT_EQ(seen[i].sequenceBefore, 41);
        ASSERT_TRUE(seen[i].journal.has_value());
        EXPECT_EQ(seen[i].journal->job, IdentityOf(commands));
        EXPECT_TRUE(seen[i].journal->inFlight);
        EXPECT_EQ(seen[i].journal->nextLine, lines[i]);
        EXPECT_EQ(seen[i].journal->sequence, 41);
        EXPECT_FALSE(seen[i].journal->finished);
        EXPECT_FALSE(seen[i].journal->lineClean);
    }
    const JobJournal after(folder, kSerial, [](const std::string&) {});
    ASSERT_TRUE(after.saved().has_value());
    EXPECT_TRUE(after.saved()->finished);
    EXPECT_FALSE(after.saved()->inFlight);
}

TEST_F(RunnerOrder, ALineThatSendsNothingNeverClaimsAFrameAndTheNextRunStartsOver) {
    // The first command the script fails at its wake-up: no frame went out, so nothing may
    // be in flight for it; the journal keeps the printer's earlier state and the same file
    // runs from its first line again (the job was never the printer's).
    script.failing = {"Sell_Payment(4"};
    const std::string commands = "51\n109\n";
    ASSERT_EQ(Run(commands), kExitOk);
    EXPECT_TRUE(seen.empty());
    script.failing.clear();
    script.clearCalls();
    ASSERT_EQ(Run(commands), kExitOk);
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[0].call, "Sell_Payment(4, 0.000)");
    ASSERT_TRUE(seen[0].journal.has_value());
    EXPECT_EQ(seen[0].journal->nextLine, 0U);
    EXPECT_TRUE(seen[0].journal->inFlight);
}

TEST_F(RunnerOrder, ARefusedCommandIsAnsweredWithoutWakingThePrinterOrTouchingTheJournal) {
    script.refusing = {"Sell_Percent("};
    ASSERT_EQ(Run("200;5;\n109\n"), kExitOk);
    EXPECT_TRUE(seen.empty());
    const std::vector<std::string> calls = script.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Sell_Percent(0, 5.000)"), calls.end());
    const JobJournal after(folder, kSerial, [](const std::string&) {});
    EXPECT_FALSE(after.saved().has_value());
}

}  // namespace
}  // namespace tallix
