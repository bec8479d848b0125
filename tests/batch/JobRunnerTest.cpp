// The job runner with a sink that is no file, as the printer service uses it.

#include "batch/JobRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "batch/CommandDispatch.h"
#include "tests/support/RecordingDevice.h"

namespace tallix {
namespace {

using Results = std::vector<std::pair<int32_t, int32_t>>;  // command number, code
using Calls = std::vector<std::string>;

class RecordingSink final : public ResultSink {
  public:
    bool Result(int32_t commandNumber, int32_t code) override {
        results.emplace_back(commandNumber, code);
        return acceptFor < 0 || static_cast<int>(results.size()) <= acceptFor;
    }
    Results results;
    int acceptFor = -1;  // results kept before the sink fails; -1: every one
};

TEST(JobRunner, AFailedLineStopsTheLinesAfterItButEachStillGetsItsResult) {
    test::DeviceScript script;
    script.failing = {"Sell_Payment(4"};
    test::RecordingDevice device(script);
    RecordingSink sink;
    CommandRun run;
    EXPECT_TRUE(JobRunner(device, sink, run).Run(CommandLines("109\n51\n0;note\n109\n200;5\n")));
    EXPECT_EQ(sink.results, (Results{{109, kCodeDone},
                                     {51, kCodeFailed},
                                     {109, kCodeSkippedAfterFailure},
                                     {200, kCodeSkippedAfterFailure}}));
    EXPECT_EQ(script.calls(), (Calls{"Other_PrintDubliate()", "Sell_Payment(4, 0.000)"}));
    EXPECT_FALSE(run.finished);
}

TEST(JobRunner, ASinkThatFailsEndsTheJobWithoutSendingMore) {
    test::DeviceScript script;
    test::RecordingDevice device(script);
    RecordingSink sink;
    sink.acceptFor = 1;
    CommandRun run;
    EXPECT_FALSE(JobRunner(device, sink, run).Run(CommandLines("109\n109\n109\n")));
    EXPECT_EQ(script.calls().size(), 2U);  // the second line was sent, its result not kept
    EXPECT_EQ(sink.results.size(), 2U);
    EXPECT_FALSE(run.finished);
}

TEST(JobRunner, AContinuedJobAnswersTheDoneLinesAndTheUndecidedOneWithoutSending) {
    test::DeviceScript script;
    test::RecordingDevice device(script);
    RecordingSink sink;
    CommandRun run;
    run.firstLine = 1;
    run.firstLineUndecided = true;
    EXPECT_TRUE(JobRunner(device, sink, run).Run(CommandLines("109\n51\n109\n")));
    EXPECT_EQ(sink.results,
              (Results{{109, kCodeDone}, {51, kCodeFailed}, {109, kCodeSkippedAfterFailure}}));
    EXPECT_TRUE(script.calls().empty());
}

}  // namespace
}  // namespace tallix
