#include "batch/DeviceSelection.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "batch/ExitCodes.h"
#include "tests/support/TempHome.h"

namespace tallix {
namespace {

using test::TempHome;

// Three printers, the second one the default, laid out as the set-up window writes them.
constexpr const char* kThreeEntries =
    "<Data Version=\"1.0\">\n"
    "    <DefaultKey>back</DefaultKey>\n"
    "    <Devices>\n"
    "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"front\" SerialNumber=\"AA0001\" "
    "Path=\"ttyUSB0\" Speed=\"9600\" LogicalID=\"1\" />\n"
    "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"back\" SerialNumber=\"AA0002\" "
    "Path=\"ttyUSB1\" Speed=\"19200\" LogicalID=\"2\" />\n"
    "        <Device Type=\"VX-99\" Country=\"RO\" Key=\"office\" SerialNumber=\"AA0003\" "
    "Path=\"ttyS0\" Speed=\" 38400 baud\" LogicalID=\"+3\" />\n"
    "    </Devices>\n"
    "</Data>\n";

class DeviceSelectionTest : public ::testing::Test {
  protected:
    TempHome home;
    Options options = WithPaths();

    static Options WithPaths() {
        Options o;
        o.commandFilePath = "/tmp/in.txt";
        o.resultFilePath = "/tmp/out.txt";
        return o;
    }
};

TEST_F(DeviceSelectionTest, DefaultKeyNamesTheSecondOfThreeEntries) {
    home.writePreferences(kThreeEntries);
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.deviceKey, "back");
    EXPECT_EQ(options.deviceType, "VX-37");
    EXPECT_EQ(options.portName, "ttyUSB1");
    EXPECT_EQ(options.speed, 19200);
    EXPECT_EQ(options.logicalID, 2);
}

TEST_F(DeviceSelectionTest, KeyOptionOverridesDefaultKey) {
    home.writePreferences(kThreeEntries);
    options.deviceKey = "office";
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.deviceKey, "office");
    EXPECT_EQ(options.deviceType, "VX-99");  // the device stage refuses it later
    EXPECT_EQ(options.portName, "ttyS0");
    EXPECT_EQ(options.speed, 38400);  // leading blanks and trailing text
    EXPECT_EQ(options.logicalID, 3);
}

TEST_F(DeviceSelectionTest, CommandLineValuesWinOverTheEntry) {
    home.writePreferences(kThreeEntries);
    options.portName = "/dev/pts/7";
    options.logicalIDText = "05";
    options.logicalID = 5;
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.portName, "/dev/pts/7");
    EXPECT_EQ(options.speed, 19200);  // not given: from the entry
    EXPECT_EQ(options.logicalID, 5);
    EXPECT_EQ(options.deviceType, "VX-37");

    Options more = WithPaths();
    more.deviceType = "VX-37x";
    more.speedText = "115200";
    EXPECT_EQ(SelectDevice(more), std::nullopt);
    EXPECT_EQ(more.deviceType, "VX-37x");
    EXPECT_EQ(more.speed, 115200);
    EXPECT_EQ(more.portName, "ttyUSB1");
    EXPECT_EQ(more.logicalID, 2);
}

TEST_F(DeviceSelectionTest, DuplicateKeysTakeTheFirstEntry) {
    home.writePreferences(
        "<Data><DefaultKey>k</DefaultKey><Devices>"
        "<Device Key=\"k\" Type=\"VX-37\" Path=\"first\" Speed=\"1\" LogicalID=\"1\"/>"
        "<Device Key=\"k\" Type=\"VX-37\" Path=\"second\" Speed=\"2\" LogicalID=\"2\"/>"
        "</Devices></Data>");
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.portName, "first");
    EXPECT_EQ(options.speed, 1);
}

TEST_F(DeviceSelectionTest, KeyThatNoEntryCarriesCompletesNothing) {
    home.writePreferences(kThreeEntries);
    options.deviceKey = "nowhere";
    options.speedText = "4800";
    options.speed = 4800;
    std::string reason;
    EXPECT_EQ(SelectDevice(options, Preferences(), &reason), std::nullopt);
    EXPECT_EQ(options.deviceType, "");  // not the last entry visited
    EXPECT_EQ(options.portName, "");
    EXPECT_EQ(options.speed, 4800);
    EXPECT_EQ(options.logicalID, 0);
    // The later stage that fails for want of a value gets this with its own reason.
    EXPECT_EQ(reason, "no device entry with key \"nowhere\" in " + home.preferencesFile());

    // Also when there is no Device at all, and with an empty default key.
    home.writePreferences("<Data><DefaultKey/><Devices/></Data>");
    Options empty = WithPaths();
    EXPECT_EQ(SelectDevice(empty, Preferences(), &reason), std::nullopt);
    EXPECT_EQ(empty.deviceType, "");
    EXPECT_EQ(empty.speed, 0);
    EXPECT_EQ(reason, "no default device entry in " + home.preferencesFile() +
                          " (no -k given; Set Default in tallix-setup stores one)");

    // A command line that names everything the entry would give needs no entry.
    Options named = WithPaths();
    named.deviceKey = "nowhere";
    named.deviceType = "VX-37";
    named.portName = "ttyUSB0";
    named.speedText = "9600";
    named.logicalIDText = "1";
    reason.clear();
    EXPECT_EQ(SelectDevice(named, Preferences(), &reason), std::nullopt);
    EXPECT_EQ(reason, "");
}

TEST_F(DeviceSelectionTest, EmptyDefaultKeySelectsEntryWithoutKey) {
    home.writePreferences(
        "<Data><Devices><Device Key=\"x\" Type=\"VX-37\" Path=\"a\"/>"
        "<Device Type=\"VX-37\" Path=\"b\" Speed=\"9600\"/></Devices></Data>");
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.portName, "b");
    EXPECT_EQ(options.speed, 9600);
    EXPECT_EQ(options.logicalID, 0);  // missing attribute
}

TEST_F(DeviceSelectionTest, FirstDefaultKeyInDocumentOrderIsTheKey) {
    // The batch runner takes the first DefaultKey anywhere below the root.
    home.writePreferences(
        "<Data><Devices><Device Key=\"a\" Path=\"pa\"><DefaultKey>b</DefaultKey></Device>"
        "<Device Key=\"b\" Path=\"pb\"/></Devices><DefaultKey>a</DefaultKey></Data>");
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.portName, "pb");
}

// Batch mode only reads: a file it made would hold no entry, end every later run with 21 and
// stand where the set-up window writes the first entry.
TEST_F(DeviceSelectionTest, AMissingFileEnds21AndNothingIsCreated) {
    std::string reason;
    EXPECT_EQ(SelectDevice(options, Preferences(), &reason), kExitPreferences);
    EXPECT_EQ(reason, home.preferencesFile() +
                          " is missing: store the printer with tallix-setup, or give all nine "
                          "options -i -o -t -k -n -p -s -l -c");
    EXPECT_EQ(test::TempDir::ModeOf(home.path() + "/Library"), 0u) << "no folder made";
    EXPECT_EQ(options.deviceType, "");

    // The folder alone is no file either.
    ASSERT_TRUE(home.writePreferences(""));
    ASSERT_EQ(::unlink(home.preferencesFile().c_str()), 0);
    EXPECT_EQ(SelectDevice(options), kExitPreferences);
    EXPECT_EQ(test::TempDir::ModeOf(home.preferencesFile()), 0u);
}

TEST_F(DeviceSelectionTest, UnusableFilesEnd21AndStayAsTheyWere) {
    for (const char* bytes : {"", "<Data><Devices>", "\xEF\xBB\xBF", "<!-- nothing -->"}) {
        home.writePreferences(bytes);
        Options o = WithPaths();
        std::string reason;
        EXPECT_EQ(SelectDevice(o, Preferences(), &reason), kExitPreferences) << bytes;
        EXPECT_EQ(reason, home.preferencesFile() +
                              " is empty, unreadable or not an XML document: store the printer "
                              "again with tallix-setup");
        EXPECT_EQ(home.readPreferences(), bytes);
    }
    // A Library that is a file ends the run the same way, silently.
    TempHome blocked;
    std::ofstream(blocked.path() + "/Library") << "x";
    testing::internal::CaptureStderr();
    EXPECT_EQ(SelectDevice(options), kExitPreferences);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A preferences file that is a FIFO is not read: no writer is waited for, whoever runs it.
TEST_F(DeviceSelectionTest, AFifoEnds21WithoutWaitingForAWriter) {
    home.writePreferences(kThreeEntries);
    ASSERT_EQ(::unlink(home.preferencesFile().c_str()), 0);
    ASSERT_EQ(::mkfifo(home.preferencesFile().c_str(), 0600), 0);
    EXPECT_EQ(SelectDevice(options), kExitPreferences);
    EXPECT_EQ(options.portName, "");
}

// Up to the limit the file is read; one byte more ends the run with 21 without reading it.
TEST_F(DeviceSelectionTest, FilesPastTheSizeLimitEnd21) {
    std::string document = kThreeEntries;
    const std::string end = "</Data>\n";
    document.insert(document.size() - end.size(), kPreferencesLimit - document.size(), ' ');
    ASSERT_EQ(document.size(), kPreferencesLimit);
    ASSERT_TRUE(home.writePreferences(document));
    EXPECT_EQ(SelectDevice(options), std::nullopt);
    EXPECT_EQ(options.portName, "ttyUSB1");

    ASSERT_TRUE(home.writePreferences(document + " "));
    Options again = WithPaths();
    EXPECT_EQ(SelectDevice(again), kExitPreferences);
    EXPECT_EQ(again.portName, "");
}

}  // namespace
}  // namespace tallix
