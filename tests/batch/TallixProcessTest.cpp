#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::ProcessResult;
using test::RunOptions;
using test::TempDir;

// Runs the real tallix with args; captures both output streams.
ProcessResult Tallix(const std::vector<std::string>& args,
                     const std::string& program = TALLIX_PATH) {
    RunOptions options;
    options.captureStdout = true;
    options.captureStderr = true;
    options.timeout = std::chrono::seconds(30);
    return test::RunProcess(program, args, options);
}

// Batch runs that end at the option stage print nothing.
void ExpectSilentExit(const std::vector<std::string>& args, int code) {
    const ProcessResult result = Tallix(args);
    std::string shown;
    for (const auto& a : args) {
        shown += " [" + a + "]";
    }
    EXPECT_EQ(result.exitCode, code) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(result.err, "") << shown;
}

TEST(TallixOptions, MissingPathsDecideTheExitCode) {
    ExpectSilentExit({"-x"}, kExitNoCommandFile);
    ExpectSilentExit({"-o", "/tmp/r.txt"}, kExitNoCommandFile);
    ExpectSilentExit({"-i", "/tmp/c.txt"}, kExitNoResultFile);
    ExpectSilentExit({"-i", "-o", "/tmp/r.txt"}, kExitNoCommandFile);  // -i takes no "-o"
    ExpectSilentExit({"-i"}, kExitNoCommandFile);
    ExpectSilentExit({"-in", "/tmp/c.txt", "-o", "/tmp/r.txt"}, kExitNoCommandFile);
    ExpectSilentExit({"-I", "/tmp/c.txt"}, kExitNoResultFile);
    ExpectSilentExit({"-i", "/tmp/c.txt", "-O", "-n"}, kExitNoResultFile);
    ExpectSilentExit({"--help", "-i", "/tmp/c.txt"}, kExitNoResultFile);
    ExpectSilentExit({"-psn_0_1", "-o", "/tmp/r.txt"}, kExitNoCommandFile);
    ExpectSilentExit({"-PSN_0_1"}, kExitNoCommandFile);
    ExpectSilentExit({""}, kExitNoCommandFile);
}

TEST(TallixOptions, SerialNumberValueAndRepeatsStillNeedBothPaths) {
    ExpectSilentExit({"-n", "123", "-i", "/tmp/c.txt"}, kExitNoResultFile);
    ExpectSilentExit({"-i", "/tmp/c.txt", "-n"}, kExitNoResultFile);
    ExpectSilentExit({"-o", "/tmp/r.txt", "-o", "-i"}, kExitNoCommandFile);
}

TEST(TallixEntry, HelpAndVersionPrintOnStandardOutput) {
    const ProcessResult help = Tallix({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: tallix -i COMMAND-FILE -o RESULT-FILE"), std::string::npos);
    EXPECT_EQ(help.err, "");
    // Every exit code a caller can get is explained, one line each.
    for (const int code :
         {kExitOk, kExitNoCommandFile, kExitNoResultFile, kExitPreferences, kExitWrongDeviceType,
          kExitOpenFailed, kExitInitializeFailed, kExitSerialNumberFailed, kExitCommandFileEmpty,
          kExitResultWriteFailed, kExitSetupUnavailable}) {
        const std::string number = std::to_string(code);
        const std::string line = "\n" + std::string(5 - number.size(), ' ') + number + "  ";
        EXPECT_NE(help.out.find(line), std::string::npos) << code;
    }
    const ProcessResult version = Tallix({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tallix ", 0), 0U) << version.out;
    EXPECT_EQ(version.out.back(), '\n');
}

// A copy of tallix in a folder of its own, so that what sits next to it is up to the test.
class TallixSetupMode : public ::testing::Test {
  protected:
    void SetUp() override {
        copy_ = dir_.file("tallix");
        ASSERT_TRUE(TempDir::WriteFile(copy_, TempDir::ReadFile(TALLIX_PATH)));
        ASSERT_EQ(chmod(copy_.c_str(), 0755), 0);
    }
    TempDir dir_;
    std::string copy_;
};

TEST_F(TallixSetupMode, MissingSetupWindowGives127AndOneLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"-psn_0_4711"}}) {
        const ProcessResult result = Tallix(args, copy_);
        EXPECT_EQ(result.exitCode, kExitSetupUnavailable);
        EXPECT_EQ(result.out, "");
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_NE(result.err.find("tallix-setup"), std::string::npos) << result.err;
    }
}

TEST_F(TallixSetupMode, SetupWindowThatCannotStartGives127) {
    ASSERT_TRUE(TempDir::WriteFile(dir_.file("tallix-setup"), "not a program"));
    ASSERT_EQ(chmod(dir_.file("tallix-setup").c_str(), 0644), 0);
    const ProcessResult result = Tallix({}, copy_);
    EXPECT_EQ(result.exitCode, kExitSetupUnavailable);
    EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
}

TEST_F(TallixSetupMode, SetupWindowGetsTheSameArguments) {
    const std::string record = dir_.file("args.txt");
    ASSERT_TRUE(
        TempDir::WriteFile(dir_.file("tallix-setup"),
                           "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > '" + record + "'\nexit 7\n"));
    ASSERT_EQ(chmod(dir_.file("tallix-setup").c_str(), 0755), 0);

    EXPECT_EQ(Tallix({"-psn_0_99"}, copy_).exitCode, 7);
    EXPECT_EQ(TempDir::ReadFile(record), dir_.file("tallix-setup") + "|-psn_0_99|");
    EXPECT_EQ(Tallix({}, copy_).exitCode, 7);
    EXPECT_EQ(TempDir::ReadFile(record), dir_.file("tallix-setup") + "|");
}

}  // namespace
}  // namespace tallix
