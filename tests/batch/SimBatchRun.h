#pragma once

// The setting of an end-to-end batch test: tallix-sim ready as the printer, and a folder of the
// test's own, which is also the run's home, for the command file and the result file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/batch/TallixRun.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix::test {

class SimBatchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ready());
        ASSERT_FALSE(dir.path().empty());
    }

    // tallix on the printer with the nine options for commandFile and resultFile, extra after
    // them.
    TallixOutcome RunNine(const std::string& commandFile, const std::string& resultFile,
                          const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = NineOptions(commandFile, resultFile, sim.path());
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTallix(args, dir.path());
    }

    SimProcess sim;
    TempDir dir;
    const std::string commands = dir.file("commands.txt");
    const std::string result = dir.file("result.txt");
};

}  // namespace tallix::test
