// tallix --list-ports and tallix --detect as processes: against a recorded USB adapter, and
// against virtual printers at several speeds and logical IDs.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "protocol/CashRegManager.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::ProcessResult;
using test::SimProcess;
using test::TempDir;

ProcessResult Tallix(const std::vector<std::string>& args, const std::string& home,
                     const std::string& program = TALLIX_PATH,
                     std::vector<std::string> programArgs = {}) {
    test::RunOptions options;
    options.env["HOME"] = home;
    // umockdev preloads its library ahead of the sanitizer runtimes.
    options.env["ASAN_OPTIONS"] = "verify_asan_link_order=0";
    options.captureStdout = true;
    options.captureStderr = true;
    options.timeout = std::chrono::minutes(5);
    programArgs.insert(programArgs.end(), args.begin(), args.end());
    return test::RunProcess(program, programArgs, options);
}

// This process's name as the system shows it (/proc/self/comm).
std::string ProcessName() {
    std::string name;
    std::ifstream comm("/proc/self/comm");
    std::getline(comm, name);
    return name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(ListPorts, ShowsTheByIdLinkAndUsbFieldsOfARecordedAdapter) {
    TempDir home;
    const ProcessResult result =
        Tallix({"--list-ports"}, home.path(), UMOCKDEV_RUN,
               {"--device", TALLIX_SOURCE_DIR "/tests/batch/data/ftdi-ft232r.umockdev", "--",
                TALLIX_PATH});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(
        result.out,
        "ttyUSB0\t/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0"
        "\tFTDI\tFT232R USB UART\tA1B2C3D4\tftdi_sio\n");
}

TEST(ListPorts, OnlyAsTheOnlyArgument) {
    TempDir home;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--list-ports", "-i", "/tmp/c.txt"},
          std::vector<std::string>{"-i", "/tmp/c.txt", "--list-ports"}}) {
        const ProcessResult result = Tallix(args, home.path());
        EXPECT_EQ(result.exitCode, kExitNoResultFile);
        EXPECT_EQ(result.out + result.err, "");
    }
}

// Three printers and a line where nobody answers.
class Detect : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(at9600.ready() && at38400.ready() && at115200.ready() && dead.ready());
    }

    std::string Line(const SimProcess& sim, int speed, int id, const std::string& serial) {
        return sim.path() + "\t" + std::to_string(speed) + "\t" + std::to_string(id) + "\t" +
               serial;
    }

    TempDir home;
    SimProcess at9600{{"--serial", "SN-9600-01", "--logical-id", "1", "--baud", "9600"}};
    SimProcess at38400{{"--serial", "SN-38400-7", "--logical-id", "7", "--baud", "38400"}};
    SimProcess at115200{{"--serial", "SN-115K-00", "--logical-id", "0", "--baud", "115200"}};
    SimProcess dead{{"--mute"}};
};

TEST_F(Detect, UsualIDsFindThePrintersAtIDs1And0) {
    const ProcessResult result = Tallix(
        {"--detect", at9600.path(), at38400.path(), at115200.path(), dead.path(), "ttyNOSUCH"},
        home.path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Lines(result.out), Lines(Line(at9600, 9600, 1, "SN-9600-01") + "\n" +
                                       Line(at115200, 115200, 0, "SN-115K-00") + "\n"));
    EXPECT_EQ(result.err, "tallix: no serial port named \"ttyNOSUCH\"\n");
    // Detection never sends a command frame.
    for (const SimProcess* sim : {&at9600, &at38400, &at115200, &dead}) {
        EXPECT_TRUE(sim->executedCommands().empty());
    }
}

TEST_F(Detect, TheDefaultEntrysIDIsTriedFirst) {
    ASSERT_EQ(mkdir(home.file("Library").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(home.file("Library/Preferences").c_str(), 0755), 0);
    ASSERT_TRUE(TempDir::WriteFile(
        home.file("Library/Preferences/com.veltra.tallix.xml"),
        R"(<Data><DefaultKey>shop</DefaultKey><Devices><Device Key="shop" LogicalID="7"/>)"
        R"(</Devices></Data>)"));
    const ProcessResult result = Tallix({"--detect", at38400.path()}, home.path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, Line(at38400, 38400, 7, "SN-38400-7") + "\n");
}

TEST_F(Detect, NothingFoundExits1AndAHeldPortIsSkipped) {
    CashRegManager otherRun;
    ASSERT_TRUE(otherRun.Open(at9600.path(), 9600));
    const ProcessResult result = Tallix({"--detect", at9600.path(), dead.path()}, home.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    // The reason names the holder: this test process.
    EXPECT_EQ(result.err, "tallix: " + at9600.path() + ": Port in use by " + ProcessName() +
                              " (process " + std::to_string(getpid()) + "); skipped\n");
}

TEST_F(Detect, APortThatCannotBeOpenedSaysWhy) {
    const std::string file = home.file("not-a-port");
    ASSERT_TRUE(TempDir::WriteFile(file, "x"));
    const ProcessResult result = Tallix({"--detect", file}, home.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tallix: " + file +
                              ": Not a serial port: the path is no terminal (a file, folder, FIFO "
                              "or /dev/null); skipped\n");
}

// Every ID at every speed: about two minutes for the line where nobody answers.
TEST_F(Detect, SlowAllIDsFindExactlyTheThree) {
    const ProcessResult result = Tallix(
        {"--detect", "--all-ids", at9600.path(), at38400.path(), at115200.path(), dead.path()},
        home.path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Lines(result.out), Lines(Line(at9600, 9600, 1, "SN-9600-01") + "\n" +
                                       Line(at38400, 38400, 7, "SN-38400-7") + "\n" +
                                       Line(at115200, 115200, 0, "SN-115K-00") + "\n"));
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace tallix
