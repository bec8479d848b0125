// Finding the printer from the window: the port list's descriptions, picking a port, and
// Find Printer against virtual printers.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "protocol/CashRegManager.h"
#include "setup/PortChoices.h"
#include "setup/TallixMacAppDelegate.h"
#include "tests/setup/FakeView.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace tallix::test {
namespace {

// This process's name as the system shows it, which names it as the holder of a port.
std::string ProcessName() {
    std::string name;
    std::ifstream comm("/proc/self/comm");
    std::getline(comm, name);
    return name;
}

const char* const kByIdLink = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";

TEST(PortChoice, DescribesTheAdapterAndStandsForItsByIdLink) {
    EXPECT_EQ(
        PortChoice({"ttyUSB0", "/dev/ttyUSB0", kByIdLink, "FTDI", "FT232R", "A1B2C3", "ftdi_sio"}),
        (ComboItem{"ttyUSB0 \u2014 FTDI FT232R (A1B2C3)", kByIdLink}));
    EXPECT_EQ(PortChoice({"ttyACM0", "/dev/ttyACM0", "", "", "", "0042", "cdc_acm"}),
              (ComboItem{"ttyACM0 \u2014 (0042)", "ttyACM0"}));
    EXPECT_EQ(PortChoice({"ttyS0", "/dev/ttyS0", "", "", "", "", ""}),
              (ComboItem{"ttyS0", "ttyS0"}));
}

class FindPrinter : public ::testing::Test {
  protected:
    FindPrinter() {
        view.type.value = "VX-37";
        view.path.value = "";
        view.speed.value = "9600";
        view.logicalID.value = "1";
        view.stepper.value = 1;
        view.serial.value = "";
    }

    TallixMacAppDelegate controller(std::vector<std::string> ports) {
        return TallixMacAppDelegate(view, nullptr, script.factory(),
                                    [ports = std::move(ports)] { return Named(ports); });
    }

    TempHome home;
    FakeView view;
    DeviceScript script;
};

TEST_F(FindPrinter, PickingAPortPutsWhatItStandsForIntoTheText) {
    TallixMacAppDelegate c(view, nullptr, script.factory(), [] {
        return std::vector<ComboItem>{{"ttyUSB0 \u2014 FTDI FT232R (A1B2C3)", kByIdLink},
                                      {"ttyS0", "ttyS0"}};
    });
    c.applicationDidFinishLaunching();
    EXPECT_EQ(view.path.items,
              (std::vector<std::string>{"ttyUSB0 \u2014 FTDI FT232R (A1B2C3)", "ttyS0"}));

    view.path.pick(0);
    c.selectedPath();
    EXPECT_EQ(view.path.value, kByIdLink);
    view.path.pick(1);
    c.selectedPath();
    EXPECT_EQ(view.path.value, "ttyS0");
}

TEST_F(FindPrinter, FillsTheControlsFromThePrinterFoundAndStoresNothing) {
    ASSERT_TRUE(home.writePreferences(
        R"(<Data><DefaultKey>shop</DefaultKey><Devices>)"
        R"(<Device Key="shop" SerialNumber="OLD" Path="ttyS9" Speed="9600" LogicalID="7"/>)"
        R"(</Devices></Data>)"));
    const std::string before = home.readPreferences();
    SimProcess printer({"--serial", "SN-FOUND-7", "--logical-id", "7", "--baud", "38400"});
    SimProcess dead({"--mute"});
    ASSERT_TRUE(printer.ready() && dead.ready());

    auto c = controller({dead.path(), printer.path()});
    c.pressedFindPrinter();

    EXPECT_TRUE(view.alerts.empty());
    EXPECT_TRUE(view.choicesOffered.empty());
    EXPECT_EQ(view.path.value, printer.path());
    EXPECT_EQ(view.speed.value, "38400");
    EXPECT_EQ(view.logicalID.value, "7");  // the default entry's ID is tried
    EXPECT_EQ(view.stepper.value, 7);
    EXPECT_EQ(view.serial.value, "SN-FOUND-7");
    EXPECT_EQ(view.status(),
              "Found the printer on " + printer.path() + " at 38400 baud, logical ID 7");
    EXPECT_TRUE(view.questions.empty());
    EXPECT_EQ(home.readPreferences(), before);
    EXPECT_TRUE(printer.executedCommands().empty());
    EXPECT_TRUE(script.calls().empty()) << "no device object is made";
}

TEST_F(FindPrinter, TheUserChoosesAmongSeveralAndATypedPathIsSearchedToo) {
    SimProcess first({"--serial", "SN-FIRST"});
    SimProcess second({"--serial", "SN-SECOND", "--baud", "19200", "--logical-id", "0"});
    ASSERT_TRUE(first.ready() && second.ready());
    view.path.value = second.path();  // typed, not listed
    auto c = controller({first.path()});

    view.choice = 1;
    c.pressedFindPrinter();
    ASSERT_EQ(view.choicesOffered.size(), 1U);
    EXPECT_EQ(view.choicesOffered[0],
              (std::vector<std::string>{
                  first.path() + " \u2014 9600 baud, logical ID 1, serial number SN-FIRST",
                  second.path() + " \u2014 19200 baud, logical ID 0, serial number SN-SECOND"}));
    EXPECT_EQ(view.path.value, second.path());
    EXPECT_EQ(view.speed.value, "19200");
    EXPECT_EQ(view.logicalID.value, "0");
    EXPECT_EQ(view.serial.value, "SN-SECOND");

    // Declining the choice changes nothing.
    view.path.value = "typed";
    view.choice.reset();
    auto again = controller({first.path(), second.path()});
    again.pressedFindPrinter();
    EXPECT_EQ(view.choicesOffered.size(), 2U);
    EXPECT_EQ(view.path.value, "typed");
    EXPECT_EQ(view.serial.value, "SN-SECOND");
    EXPECT_TRUE(view.alerts.empty());
}

TEST_F(FindPrinter, NothingFoundOffersEveryIDAndSaysWhyPortsWereLeftOut) {
    SimProcess dead({"--mute"});
    SimProcess held;
    ASSERT_TRUE(dead.ready() && held.ready());
    CashRegManager otherRun;
    ASSERT_TRUE(otherRun.Open(held.path(), 9600));
    const std::string file = home.path() + "/not-a-port";
    ASSERT_TRUE(TempDir::WriteFile(file, "x"));
    auto c = controller({dead.path(), held.path(), file});
    view.logicalID.value = "5";
    view.answer = false;  // the long search is declined
    c.pressedFindPrinter();

    const std::string problems =
        held.path() + ": Port in use by " + ProcessName() + " (process " +
        std::to_string(getpid()) + ")\n" + file +
        ": Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)";
    ASSERT_EQ(view.questions.size(), 1U);
    EXPECT_EQ(view.questions[0].message,
              "No printer answered with the logical IDs 5, 1 and 0. Search every logical ID?");
    EXPECT_EQ(view.questions[0].informativeText,
              "Searching every logical ID from 0 to 99 takes about 2 minutes when no printer "
              "answers. You can cancel it.\n\n" +
                  problems);
    ASSERT_EQ(view.alerts.size(), 1U);
    EXPECT_EQ(view.alerts[0], (Alert{AlertStyle::Warning, "No printer found.", problems}));
    EXPECT_EQ(view.status(), "No printer found.");
    EXPECT_EQ(view.path.value, "");
    EXPECT_EQ(view.serial.value, "");
    EXPECT_FALSE(c.printerActionRunning());
}

TEST_F(FindPrinter, WithNoPortToSearchNothingIsOffered) {
    const std::string file = home.path() + "/not-a-port";
    ASSERT_TRUE(TempDir::WriteFile(file, "x"));
    auto c = controller({file});
    c.pressedFindPrinter();
    EXPECT_TRUE(view.questions.empty()) << "no other ID can answer on a port never opened";
    ASSERT_EQ(view.alerts.size(), 1U);
    EXPECT_EQ(view.alerts[0].message, "No printer found.");
}

}  // namespace
}  // namespace tallix::test
