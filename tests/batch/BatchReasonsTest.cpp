// What a batch run that cannot reach its printer says, and what it leaves alone: the exit
// code, the one system-log line and the line trace tell why; the preferences file, the ports
// and the result file stay as they were. A fresh account (a home folder with nothing in it)
// runs the README's examples.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "tests/batch/InProcessTallix.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace tallix {
namespace {

// What the system-log line says of exit 21 before the file's own problem.
const std::string kPreferencesNeeded =
    "the preferences file was needed and is missing, not XML, empty, not a regular file or "
    "over 16 MiB: ";

using test::RunTallix;
using test::SplitLines;
using test::TempDir;
using test::TempHome;

// The tags of a line trace's records and notes, in order ("PORT", "W", "RT", …).
std::vector<std::string> TraceTags(const std::string& trace) {
    std::vector<std::string> tags;
    for (const std::string& line : SplitLines(trace)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string ms;
        std::string tag;
        fields >> ms >> tag;
        tags.push_back(tag);
    }
    return tags;
}

// A default entry "till" stored without a port, and an entry "office" of another type.
constexpr const char* kEntries =
    "<Data Version=\"1.0\">\n"
    "    <DefaultKey>till</DefaultKey>\n"
    "    <Devices>\n"
    "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"till\" SerialNumber=\"VX37000001\" "
    "Path=\"\" Speed=\"9600\" LogicalID=\"1\" />\n"
    "        <Device Type=\"VX-99\" Country=\"RO\" Key=\"office\" SerialNumber=\"VX99000001\" "
    "Path=\"ttyS0\" Speed=\"9600\" LogicalID=\"1\" />\n"
    "    </Devices>\n"
    "</Data>\n";

class BatchReasons : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(TempDir::WriteFile(commands, "48;1\n")); }

    // The run in this process; returns the exit code and keeps the system-log line.
    int Logged(const std::vector<std::string>& args) {
        log.lines.clear();
        const int code = test::RunTallixMain(args);
        EXPECT_EQ(log.lines.size(), code == kExitOk ? 0U : 1U);
        logLine = log.lines.empty() ? "" : log.lines.front();
        return code;
    }
    std::string Ended(int code) const {
        return "batch run of " + commands + " ended with exit code " + std::to_string(code) + ": ";
    }

    TempHome home;
    TempDir dir;
    const std::string commands = dir.file("commands.txt");
    const std::string result = dir.file("result.txt");
    const std::string trace = dir.file("line.trace");
    test::SystemLogCatcher log;
    std::string logLine;
};

// Every port's name begins with the empty text: matched as a prefix it picked the first port
// the machine lists and wrote the protocol's bytes to it.
TEST_F(BatchReasons, AnEmptyPortTextOpensNoPortAndWritesNothing) {
    ASSERT_TRUE(home.writePreferences(kEntries));
    for (const std::vector<std::string>& chosen : std::vector<std::vector<std::string>>{
             {},                                          // the default entry
             {"-k", "till"},                              // the entry by its key
             {"-k", "till", "-t", "VX-37", "-s", "9600"}  // the port alone from the entry
         }) {
        std::vector<std::string> args{"-i", commands, "-o", result, "--trace", trace};
        args.insert(args.end(), chosen.begin(), chosen.end());
        const auto run = RunTallix(args, home.path());
        EXPECT_EQ(run.exitCode, kExitOpenFailed);
        EXPECT_EQ(run.out + run.err, "");
        // Nothing was written or read on any line; the trace holds the reason alone.
        EXPECT_EQ(TraceTags(TempDir::ReadFile(trace)), std::vector<std::string>{"PORT"});
        EXPECT_NE(TempDir::ReadFile(trace).find("PORT     | no port given\n"), std::string::npos);
        EXPECT_EQ(TempDir::ModeOf(result), 0u) << "the result file is not touched";

        EXPECT_EQ(Logged(args), kExitOpenFailed);
        EXPECT_EQ(logLine, Ended(kExitOpenFailed) + "the port could not be opened: no port given");
    }
    EXPECT_EQ(home.readPreferences(), kEntries);
}

TEST_F(BatchReasons, AKeyThatNamesNoEntrySaysSo) {
    ASSERT_TRUE(home.writePreferences(kEntries));
    const std::string noEntry = "no device entry with key \"shop-2\" in " + home.preferencesFile();

    // The entry would have given the type: the run ends at the type.
    EXPECT_EQ(Logged({"-i", commands, "-o", result, "-k", "shop-2"}), kExitWrongDeviceType);
    EXPECT_EQ(logLine, Ended(kExitWrongDeviceType) +
                           "the device type is not VX-37: no device type given: the types are "
                           "VX-37; " +
                           noEntry);
    // The type given, the entry would have given the port.
    EXPECT_EQ(Logged({"-i", commands, "-o", result, "-k", "shop-2", "-t", "VX-37"}),
              kExitOpenFailed);
    EXPECT_EQ(logLine,
              Ended(kExitOpenFailed) + "the port could not be opened: no port given; " + noEntry);
    // As a process it prints nothing and leaves the preferences file alone.
    const auto run = RunTallix({"-i", commands, "-o", result, "-k", "shop-2"}, home.path());
    EXPECT_EQ(run.exitCode, kExitWrongDeviceType);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(home.readPreferences(), kEntries);
}

TEST_F(BatchReasons, AWrongDeviceTypeNamesTheTypesThereAre) {
    ASSERT_TRUE(home.writePreferences(kEntries));
    EXPECT_EQ(Logged({"-i", commands, "-o", result, "-k", "office"}), kExitWrongDeviceType);
    EXPECT_EQ(logLine, Ended(kExitWrongDeviceType) +
                           "the device type is not VX-37: unknown device type \"VX-99\": the "
                           "types are VX-37 (letter case counts)");

    // All nine options: no preferences file is read, the same reason.
    std::vector<std::string> nine =
        test::NineOptions(commands, result, dir.file("no-port"), test::kSimSpeed);
    nine[5] = "vx-37";  // the value of -t
    EXPECT_EQ(Logged(nine), kExitWrongDeviceType);
    EXPECT_EQ(logLine, Ended(kExitWrongDeviceType) +
                           "the device type is not VX-37: unknown device type \"vx-37\": the "
                           "types are VX-37 (letter case counts)");
}

// A fresh account has no preferences file. A run that needs it says so and leaves none
// behind (an empty file would end every later run with 21 too); one that names all nine
// options needs none.
TEST_F(BatchReasons, AFreshAccountRunsTheReadmeExamples) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const std::string missing = home.preferencesFile() +
                                " is missing: store the printer with tallix-setup, or give all "
                                "nine options -i -o -t -k -n -p -s -l -c";
    // The device named on the command line, but not with all nine options.
    const std::vector<std::string> named{"-i", commands,   "-o", result, "-t", "VX-37",
                                         "-p", sim.path(), "-s", "9600", "-l", "1"};
    const std::vector<std::string> serialOnly{"-i", commands, "-o", result, "-n"};
    for (const auto& args : {named, serialOnly}) {
        const auto run = RunTallix(args, home.path());
        EXPECT_EQ(run.exitCode, kExitPreferences);
        EXPECT_EQ(run.out + run.err, "");
        EXPECT_EQ(TempDir::ModeOf(home.path() + "/Library"), 0u) << "nothing made";

        EXPECT_EQ(Logged(args), kExitPreferences);
        EXPECT_EQ(logLine, Ended(kExitPreferences) + kPreferencesNeeded + missing);
    }
    EXPECT_TRUE(sim.executedCommands().empty());

    // All nine options: the job runs, and still no preferences file.
    const auto run =
        RunTallix({"-i", commands, "-o", result, "-t", "VX-37", "-k", "till-1", "-n", "VX37000001",
                   "-p", sim.path(), "-s", "9600", "-l", "1", "-c", "RO"},
                  home.path());
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), "\"48\";\"0\";\"No error\";\n");
    EXPECT_EQ(TempDir::ModeOf(home.path() + "/Library"), 0u);
}

// An empty file, as earlier versions left behind, stays as it is and is named.
TEST_F(BatchReasons, AnEmptyPreferencesFileIsNamedAndKept) {
    ASSERT_TRUE(home.writePreferences(""));
    EXPECT_EQ(Logged({"-i", commands, "-o", result, "-n"}), kExitPreferences);
    EXPECT_EQ(logLine, Ended(kExitPreferences) + kPreferencesNeeded + home.preferencesFile() +
                           " is empty, unreadable or not an XML document: store the printer "
                           "again with tallix-setup");
    EXPECT_NE(TempDir::ModeOf(home.preferencesFile()), 0u);
    EXPECT_EQ(home.readPreferences(), "");
}

// The result file is opened once the printer has answered; why it could not be is the
// system's own error text.
TEST_F(BatchReasons, AResultFileThatCannotBeOpenedSaysWhy) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const std::string notAFolder = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(notAFolder, "kept"));
    std::vector<std::string> args =
        test::NineOptions(commands, notAFolder + "/result.txt", sim.path(), test::kSimSpeed);
    args.emplace_back("-n");  // the serial number only: no job journal
    EXPECT_EQ(Logged(args), kExitResultFileFailed);
    EXPECT_EQ(logLine, Ended(kExitResultFileFailed) +
                           "no result file given, or it cannot be opened for writing, or it is "
                           "the command file: the result file " +
                           notAFolder + "/result.txt: Not a directory");

    // The command file named as the result file is kept, and the line says so. This run gets
    // as far as the job journal, which then lives in this test's home.
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string previousState = state != nullptr ? state : "";
    ::unsetenv("XDG_STATE_HOME");
    args = test::NineOptions(commands, commands, sim.path(), test::kSimSpeed);
    EXPECT_EQ(Logged(args), kExitResultFileFailed);
    if (state != nullptr) {
        ::setenv("XDG_STATE_HOME", previousState.c_str(), 1);
    }
    EXPECT_EQ(logLine, Ended(kExitResultFileFailed) +
                           "no result file given, or it cannot be opened for writing, or it is "
                           "the command file: -i and -o name the same file, " +
                           commands);
    EXPECT_EQ(TempDir::ReadFile(commands), "48;1\n");
    EXPECT_EQ(TempDir::ReadFile(notAFolder), "kept");
}

// The command file is read once the printer has answered and the result file is open; why it
// could not be read is the system's own error text, with the file's name.
TEST_F(BatchReasons, ACommandFileThatCannotBeReadSaysWhy) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const std::string failed =
        Ended(kExitCommandFileFailed) +
        "no command file given, or it is missing, unreadable, not decodable or over 64 MiB: the "
        "command file " +
        commands;
    ASSERT_EQ(::chmod(commands.c_str(), 0), 0);
    EXPECT_EQ(Logged(test::NineOptions(commands, result, sim.path(), test::kSimSpeed)),
              kExitCommandFileFailed);
    EXPECT_EQ(logLine, failed + ": Permission denied");

    // A folder where the file should be.
    ASSERT_EQ(::unlink(commands.c_str()), 0);
    ASSERT_EQ(::mkdir(commands.c_str(), 0700), 0);
    EXPECT_EQ(Logged(test::NineOptions(commands, result, sim.path(), test::kSimSpeed)),
              kExitCommandFileFailed);
    EXPECT_EQ(logLine, failed + ": Is a directory");

    // A file that holds nothing has no system error to tell.
    ASSERT_EQ(::rmdir(commands.c_str()), 0);
    ASSERT_TRUE(TempDir::WriteFile(commands, ""));
    EXPECT_EQ(Logged(test::NineOptions(commands, result, sim.path(), test::kSimSpeed)),
              kExitCommandFileEmpty);
    EXPECT_EQ(logLine, Ended(kExitCommandFileEmpty) + "the command file holds no text");
    EXPECT_TRUE(sim.executedCommands().empty()) << "no command reached the printer";
}

}  // namespace
}  // namespace tallix
