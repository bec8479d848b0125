// tallix --trace FILE on a real run against tallix-sim: the trace shows both directions of
// the line, and the option changes nothing else of the run.

#include <gtest/gtest.h>

#include <dirent.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/Options.h"
#include "config/Paths.h"
#include "protocol/Frame.h"
#include "serial/LineTrace.h"
#include "tests/batch/SimBatchRun.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::NineOptions;
using test::RunTallix;
using test::SplitLines;
using test::TempDir;

std::set<std::string> FolderEntries(const std::string& path) {
    std::set<std::string> names;
    if (DIR* folder = opendir(path.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        closedir(folder);
    }
    return names;
}

struct TraceRecord {
    std::string tag;
    int count = 0;
    std::string columns;  // "hex | text"
};

std::vector<TraceRecord> ParseTrace(const std::string& content) {
    std::vector<TraceRecord> records;
    for (const std::string& line : SplitLines(content)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string ms;
        TraceRecord record;
        std::string bar;
        fields >> ms >> record.tag >> record.count >> bar;
        const size_t columns = line.find(" | ");
        record.columns = columns == std::string::npos ? "" : line.substr(columns + 3);
        records.push_back(record);
    }
    return records;
}

class LineTraceRun : public test::SimBatchRun {
  protected:
    void SetUp() override {
        SimBatchRun::SetUp();
        ASSERT_TRUE(TempDir::WriteFile(commands, "54;HELLO;;;;\n"));
    }

    const std::string trace = dir.file("line.trace");
};

TEST_F(LineTraceRun, TheTraceHoldsTheFrameWrittenAndTheAnswersReceived) {
    std::vector<std::string> args = NineOptions(commands, result, sim.path());
    args.insert(args.begin(), {"--trace", trace});
    const auto run = RunTallix(args, dir.path());
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(TempDir::ReadFile(result), "\"54\";\"0\";\"No error\";\n");

    const std::string content = TempDir::ReadFile(trace);
    ASSERT_EQ(content.rfind("# tallix line trace, started ", 0), 0u) << content;
    const auto records = ParseTrace(content);

    const std::string text = "X;HELLO;;;;;";
    const std::vector<uint8_t> frame =
        BuildFrame(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    const std::string frameColumns = TraceColumns(frame.data(), static_cast<int>(frame.size()));
    int frameWrites = 0;
    std::string received;  // the text column of every arrival, in order
    for (const TraceRecord& record : records) {
        if (record.tag == "W" && record.columns == frameColumns) {
            ++frameWrites;
        }
        if (record.tag == "RT") {
            received += record.columns.substr(record.columns.find(" | ") + 3);
        }
    }
    EXPECT_EQ(frameWrites, 1) << content;
    // Three answers: the serial number, then the wake-ups before and after the command.
    EXPECT_NE(received.find(".VX37000001;1;."), std::string::npos) << received;
    EXPECT_NE(received.find(".VX37000001;2;."), std::string::npos) << received;
}

TEST_F(LineTraceRun, WithoutTheOptionNoTraceIsWritten) {
    const std::set<std::string> before = FolderEntries(dir.path());
    const auto run = RunNine(commands, result);
    EXPECT_EQ(run.exitCode, kExitOk);
    std::set<std::string> after = FolderEntries(dir.path());
    after.erase("result.txt");
    after.erase(".local");  // the job journal, ~/.local/state/tallix
    EXPECT_EQ(after, before);
}

TEST_F(LineTraceRun, ATraceThatCannotBeWrittenLeavesTheRunAsItWas) {
    const auto run = RunNine(commands, result, {"--trace", commands + "/below-a-file"});
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(TempDir::ReadFile(result), "\"54\";\"0\";\"No error\";\n");
}

// "--trace" and its file are no batch options: the nine given texts still make the run
// complete (no preferences file is read), and a path after it is not taken for one.
TEST(LineTraceOption, IsNoBatchOption) {
    TempDir home;
    const auto run = RunTallix({"--trace", home.file("t"), "-o", home.file("r")}, home.path());
    EXPECT_EQ(run.exitCode, kExitNoCommandFile);
    const auto onlyTrace = RunTallix({"--trace", "-i"}, home.path());
    EXPECT_EQ(onlyTrace.exitCode, kExitNoCommandFile);
    EXPECT_TRUE(FolderEntries(home.path()).empty()) << "no trace before the options are valid";
}

TEST(LineTraceOption, TakesItsFileAndLeavesTheBatchOptionsAlone) {
    const Options traced = ScanOptions({"--trace", "~/line.trace", "-i", "c", "-o", "r"});
    EXPECT_EQ(traced.traceFilePath, StandardizePath("~/line.trace"));
    EXPECT_EQ(traced.commandFilePath, StandardizePath("c"));
    EXPECT_EQ(traced.resultFilePath, StandardizePath("r"));
    EXPECT_FALSE(traced.IsComplete());

    // The file after "--trace" is not a value of the option before it.
    const Options afterOption = ScanOptions({"-k", "--trace", "t", "-n"});
    EXPECT_EQ(afterOption.deviceKey, "");
    EXPECT_EQ(afterOption.traceFilePath, StandardizePath("t"));
    EXPECT_TRUE(afterOption.serialNumberOnly);

    // Like any option, it takes no value that begins with "-".
    const Options noValue = ScanOptions({"--trace", "-i", "c"});
    EXPECT_EQ(noValue.traceFilePath, "");
    EXPECT_EQ(noValue.commandFilePath, StandardizePath("c"));
    EXPECT_EQ(ScanOptions({"-i", "c", "--trace"}).traceFilePath, "");
}

}  // namespace
}  // namespace tallix
