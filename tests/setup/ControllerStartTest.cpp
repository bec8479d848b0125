// The controller's actions that need no printer: window start, choosing a serial number, the
// port list.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "config/Preferences.h"
#include "setup/TallixMacAppDelegate.h"
#include "tests/setup/FakeView.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace tallix::test {
namespace {

const char* const kTwoEntries = R"(<?xml version="1.0" encoding="UTF-8"?>
<Data Version="1.0">
    <DefaultKey>shop-2</DefaultKey>
    <Devices>
        <Device Type="VX-37" Country="RO" Key="shop-1" SerialNumber="SN-ONE" Path="ttyUSB0" Speed="9600" LogicalID="1"/>
        <!-- a comment between entries -->
        <Device Type="VX-37x" Country="MD" Key="shop-2" SerialNumber="SN-TWO" Path="/dev/ttyS3" Speed="19200" LogicalID=" 07 apples"/>
    </Devices>
</Data>
)";

class ControllerStart : public ::testing::Test {
  protected:
    ControllerStart() {
        // What the window shows before the start fills anything.
        view.type.value = "VX-37";
        view.country.value = "RO";
        view.speed.value = "9600";
        view.logicalID.value = "1";
        view.stepper.value = 1;
        view.path.items = {"preset"};
    }

    TallixMacAppDelegate controller(std::vector<std::string> ports = {"ttyS0", "ttyUSB0"}) {
        return TallixMacAppDelegate(view, nullptr, script.factory(),
                                    [ports = std::move(ports)] { return Named(ports); });
    }

    TempHome home;
    FakeView view;
    DeviceScript script;
};

TEST_F(ControllerStart, FreshMachineWritesTheStartUpDocumentAndShowsTest) {
    auto c = controller();
    c.applicationDidFinishLaunching();

    const PreferencesDocument written = Parse(home.readPreferences());
    ASSERT_TRUE(written);
    const pugi::xml_node root = written->document_element();
    EXPECT_STREQ(root.name(), "Data");
    EXPECT_STREQ(root.attribute("Version").value(), "1.0");
    EXPECT_TRUE(root.child("DefaultKey"));
    EXPECT_TRUE(root.child("Devices"));
    EXPECT_FALSE(root.child("Devices").child("Device"));

    EXPECT_TRUE(view.test.shown);  // the new file has a DefaultKey element
    EXPECT_EQ(view.serial.value, "");
    EXPECT_TRUE(view.serial.items.empty());
    // No entry matched: the controls keep their initial values.
    EXPECT_EQ(view.type.value, "VX-37");
    EXPECT_EQ(view.speed.value, "9600");
    EXPECT_EQ(view.logicalID.value, "1");
    EXPECT_EQ(view.stepper.value, 1);
    // Ports are appended to what the list had; the port text is not touched.
    EXPECT_EQ(view.path.items, (std::vector<std::string>{"preset", "ttyS0", "ttyUSB0"}));
    EXPECT_EQ(view.path.value, "");
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(script.created(), 0);
}

TEST_F(ControllerStart, UnreadableFileIsKeptThenReplacedByTheStartUpDocument) {
    const std::string broken = "<Data><Devices><Device SerialNumber=\"A1\" Key=\"k\"/></Devices>x";
    ASSERT_TRUE(home.writePreferences(broken));
    auto c = controller();
    c.applicationDidFinishLaunching();

    const PreferencesDocument written = Parse(home.readPreferences());
    ASSERT_TRUE(written);
    EXPECT_STREQ(written->document_element().attribute("Version").value(), "1.0");
    EXPECT_TRUE(view.test.shown);
    EXPECT_TRUE(view.serial.items.empty());

    // The old bytes are beside it, under the name the alert gives.
    ASSERT_EQ(view.alerts.size(), 1U);
    const std::string& message = view.alerts[0].message;
    const std::string prefix = "The preferences file could not be read. It was kept as ";
    ASSERT_EQ(message.rfind(prefix, 0), 0U) << message;
    const std::string kept =
        message.substr(prefix.size(), message.find(" and a new") - prefix.size());
    EXPECT_EQ(kept.rfind(home.preferencesFile() + ".broken-", 0), 0U) << kept;
    EXPECT_EQ(TempDir::ReadFile(kept), broken);
    EXPECT_EQ(view.alerts[0].style, AlertStyle::Warning);

    // A file that reads well is left alone: nothing more is kept.
    FakeView again;
    TallixMacAppDelegate restarted(again, nullptr, script.factory(), [] { return Named({}); });
    restarted.applicationDidFinishLaunching();
    EXPECT_TRUE(again.alerts.empty());
}

TEST_F(ControllerStart, AnEmptyFileHoldsNothingAndIsNotKept) {
    ASSERT_TRUE(home.writePreferences(""));
    auto c = controller();
    c.applicationDidFinishLaunching();
    EXPECT_TRUE(view.alerts.empty());
    const auto entries =
        std::distance(std::filesystem::directory_iterator(home.preferencesFolder()), {});
    EXPECT_EQ(entries, 1) << "nothing was kept beside the file";
}

TEST_F(ControllerStart, AFileThatCannotBeKeptIsNotReplaced) {
    // A folder where the file should be cannot be kept beside itself; it stays as it is.
    ASSERT_TRUE(std::filesystem::create_directories(home.preferencesFile()));
    auto c = controller();
    c.applicationDidFinishLaunching();
    ASSERT_EQ(view.alerts.size(), 1U);
    EXPECT_EQ(view.alerts[0].style, AlertStyle::Critical);
    EXPECT_EQ(view.alerts[0].message, "The preferences file could not be written.");
    EXPECT_EQ(view.alerts[0].informativeText, home.preferencesFile() + ": not a regular file");
    EXPECT_TRUE(std::filesystem::is_directory(home.preferencesFile()));
    EXPECT_TRUE(view.test.shown) << "the window still starts, from the start-up document";
}

TEST_F(ControllerStart, DefaultEntryFillsTheControls) {
    ASSERT_TRUE(home.writePreferences(kTwoEntries));
    auto c = controller();
    c.applicationDidFinishLaunching();

    EXPECT_EQ(view.type.value, "VX-37x");
    EXPECT_EQ(view.country.value, "MD");
    EXPECT_EQ(view.path.value, "/dev/ttyS3");  // shown although no port of that name exists
    EXPECT_EQ(view.speed.value, "19200");
    EXPECT_EQ(view.key.value, "shop-2");
    // The field shows the stored text as it is; the stepper takes the number at its start.
    EXPECT_EQ(view.logicalID.value, " 07 apples");
    EXPECT_EQ(view.stepper.value, 7);
    EXPECT_EQ(view.serial.items, (std::vector<std::string>{"SN-ONE", "SN-TWO"}));
    EXPECT_EQ(view.serial.value, "SN-TWO");
    EXPECT_TRUE(view.test.shown);
    // Reading is all the start does with an existing document.
    EXPECT_EQ(home.readPreferences(), kTwoEntries);
}

TEST_F(ControllerStart, WithoutDefaultKeyTheEntryWithEmptyKeyIsShownAndTestStaysHidden) {
    ASSERT_TRUE(home.writePreferences(R"(<Data>
    <Devices>
        <Device Type="VX-37" Key="k" SerialNumber="SN-K" Path="ttyUSB1" Speed="4800" LogicalID="2"/>
        <Device Type="VX-37" SerialNumber="SN-NOKEY" Path="ttyUSB2" Speed="2400" LogicalID="3"/>
    </Devices>
</Data>
)"));
    auto c = controller();
    c.applicationDidFinishLaunching();

    EXPECT_FALSE(view.test.shown);
    EXPECT_EQ(view.serial.value, "SN-NOKEY");
    EXPECT_EQ(view.path.value, "ttyUSB2");
    EXPECT_EQ(view.country.value, "");  // a missing attribute reads as empty text
    EXPECT_EQ(view.key.value, "");
    EXPECT_EQ(view.stepper.value, 3);
}

TEST_F(ControllerStart, DefaultKeyThatNoEntryHasShowsNoEntry) {
    ASSERT_TRUE(home.writePreferences(
        R"(<Data><DefaultKey>gone</DefaultKey><Devices><Device Key="k" SerialNumber="S1" Speed="1200"/></Devices></Data>)"));
    auto c = controller();
    c.applicationDidFinishLaunching();

    EXPECT_TRUE(view.test.shown);
    EXPECT_EQ(view.serial.items, std::vector<std::string>{"S1"});
    EXPECT_EQ(view.serial.value, "");
    EXPECT_EQ(view.speed.value, "9600");
}

TEST_F(ControllerStart, ChoosingASerialNumberShowsItsEntryOrNothing) {
    ASSERT_TRUE(home.writePreferences(kTwoEntries));
    auto c = controller();
    c.applicationDidFinishLaunching();

    view.serial.value = "SN-ONE";
    c.selectedSN();
    EXPECT_EQ(view.type.value, "VX-37");
    EXPECT_EQ(view.country.value, "RO");
    EXPECT_EQ(view.path.value, "ttyUSB0");
    EXPECT_EQ(view.speed.value, "9600");
    EXPECT_EQ(view.key.value, "shop-1");
    EXPECT_EQ(view.logicalID.value, "1");
    EXPECT_EQ(view.stepper.value, 1);
    EXPECT_EQ(view.serial.value, "SN-ONE");

    // A serial number that no entry has changes nothing.
    const FakeView before = view;
    view.serial.value = "sn-one";  // comparisons are case-sensitive
    c.selectedSN();
    EXPECT_EQ(view.type.value, before.type.value);
    EXPECT_EQ(view.path.value, before.path.value);
    EXPECT_EQ(view.key.value, before.key.value);
    EXPECT_EQ(view.stepper.value, before.stepper.value);
    EXPECT_EQ(view.serial.value, "sn-one");

    EXPECT_EQ(home.readPreferences(), kTwoEntries);  // choosing never writes
}

TEST_F(ControllerStart, ChoosingASerialNumberWithAnUnreadableFileDoesNothing) {
    ASSERT_TRUE(home.writePreferences("not xml"));
    auto c = controller();
    view.serial.value = "SN-ONE";
    view.path.value = "typed";
    c.selectedSN();
    EXPECT_EQ(view.path.value, "typed");
    EXPECT_EQ(home.readPreferences(), "not xml");
}

TEST_F(ControllerStart, RefreshPortsClearsTheTextAndListsOnlyTheDiscoveredPorts) {
    auto c = controller({"ttyS0", "ttyS0", "ttyACM0"});
    view.path.value = "typed-by-hand";
    c.pressedRefreshPath();
    EXPECT_EQ(view.path.value, "");
    // In discovery order, duplicates kept.
    EXPECT_EQ(view.path.items, (std::vector<std::string>{"ttyS0", "ttyS0", "ttyACM0"}));
}

TEST_F(ControllerStart, HotPlugRelistsThePortsAndKeepsTheTypedText) {
    std::vector<std::string> ports{"ttyS0"};
    TallixMacAppDelegate c(view, nullptr, script.factory(), [&ports] { return Named(ports); });
    c.applicationDidFinishLaunching();
    view.path.value = "ttyUS";

    ports = {"ttyS0", "ttyUSB0"};
    c.portsChanged();
    EXPECT_EQ(view.path.items, (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
    EXPECT_EQ(view.path.value, "ttyUS");

    ports.clear();
    c.portsChanged();
    EXPECT_TRUE(view.path.items.empty());
    EXPECT_EQ(view.path.value, "ttyUS");
}

}  // namespace
}  // namespace tallix::test
