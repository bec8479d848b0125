// The system log line of a batch run: one line for every run that ends with a non-zero exit
// code, with the port's reason when the port could not be opened, and none for a run that
// succeeded or for help and version.

#include "batch/RunEndLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/batch/InProcessTallix.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

TEST(RunEndLogLine, TheExitCodeItsMeaningAndForCode10ThePortsReason) {
    const PortError denied{PortFailure::PermissionDenied, EACCES, "/dev/ttyUSB0"};
    EXPECT_EQ(RunEndLogLine(kExitOpenFailed, "/jobs/receipt.txt", denied),
              "batch run of /jobs/receipt.txt ended with exit code 10: the port could not be "
              "opened: /dev/ttyUSB0: Permission denied: add the user to the group dialout and "
              "log in again");
    // Stopped before the port was opened: no reason to add.
    EXPECT_EQ(RunEndLogLine(kExitOpenFailed, "r.txt", PortError{}),
              "batch run of r.txt ended with exit code 10: the port could not be opened");
    // A reason belongs to code 10 only.
    EXPECT_EQ(RunEndLogLine(kExitSerialNumberFailed, "r.txt", denied),
              "batch run of r.txt ended with exit code 2: the printer's serial number could not "
              "be read");
    EXPECT_EQ(RunEndLogLine(kExitNoCommandFile, "", PortError{}),
              "batch run ended with exit code 23: no command file given, or it is missing, "
              "unreadable, not decodable or over 64 MiB");
    // What else the run found follows the meaning, after the port's reason if there is one.
    EXPECT_EQ(RunEndLogLine(kExitWrongDeviceType, "r.txt", PortError{}, "what it found"),
              "batch run of r.txt ended with exit code 100: the device type is not VX-37: what "
              "it found");
    EXPECT_EQ(RunEndLogLine(kExitOpenFailed, "r.txt", denied, "what it found"),
              "batch run of r.txt ended with exit code 10: the port could not be opened: "
              "/dev/ttyUSB0: Permission denied: add the user to the group dialout and log in "
              "again; what it found");
    for (int code : {kExitInitializeFailed, kExitCommandFileEmpty, kExitResultFileFailed,
                     kExitPreferences, kExitResultWriteFailed, kExitWrongDeviceType}) {
        EXPECT_NE(std::string(ExitCodeMeaning(code)), "unknown exit code") << code;
    }
}

// TallixMain in this process, with the system log caught.
class BatchRunLog : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(TempDir::WriteFile(commands, "48;1\n")); }

    static int Run(const std::vector<std::string>& args) { return test::RunTallixMain(args); }
    // Every option given (no preferences file is read); the last "-n" asks for the serial
    // number only, so no job journal is kept.
    std::vector<std::string> Complete(const std::string& port) const {
        return {"-i", commands, "-o", result, "-t", "VX-37", "-k", "k",          "-p", port,
                "-s", "9600",   "-l", "1",    "-c", "RO",    "-n", "VX37000001", "-n"};
    }

    TempDir dir;
    const std::string commands = dir.file("commands.txt");
    const std::string result = dir.file("result.txt");
    test::SystemLogCatcher log;
    std::vector<std::string>& lines = log.lines;
};

TEST_F(BatchRunLog, EveryFailedRunLogsOneLine) {
    EXPECT_EQ(Run({"-i", commands}), kExitNoResultFile);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0], "batch run of " + commands +
                            " ended with exit code 20: no result file given, or it cannot be "
                            "opened for writing, or it is the command file");

    lines.clear();
    const std::string port = dir.file("ttyUSB0");
    EXPECT_EQ(Run(Complete(port)), kExitOpenFailed);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0], "batch run of " + commands +
                            " ended with exit code 10: the port could not be opened: " + port +
                            ": No such file or directory: check the port and that the printer "
                            "is connected");

    lines.clear();
    EXPECT_EQ(Run(Complete("ttyNOSUCHPORT")), kExitOpenFailed);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines[0].find(": ttyNOSUCHPORT: No such serial port"), std::string::npos) << lines[0];
}

TEST_F(BatchRunLog, ARunThatSucceedsAndHelpLogNothing) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready());
    EXPECT_EQ(Run(Complete(sim.path())), kExitOk);  // serial number only
    EXPECT_EQ(TempDir::ReadFile(result), "VX37000001");
    EXPECT_EQ(Run({"--version"}), kExitOk);
    EXPECT_EQ(lines, std::vector<std::string>{});
}

}  // namespace
}  // namespace tallix
