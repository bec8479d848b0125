// Add Device and Set Default: the entry stored from the controls, the serial-number list
// rebuilt, the default key recorded.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Preferences.h"
#include "setup/TallixMacAppDelegate.h"
#include "tests/setup/FakeView.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace tallix::test {
namespace {

const char* const kOneEntry = R"(<Data Version="1.0">
    <DefaultKey>old</DefaultKey>
    <Devices>
        <Device Type="VX-37" Country="RO" Key="old" SerialNumber="SN-OLD" Path="ttyS0" Speed="9600" LogicalID="1" Extra="dropped"/>
        <Device Type="VX-37" Country="RO" Key="other" SerialNumber="SN-OTHER" Path="ttyS1" Speed="9600" LogicalID="2"/>
    </Devices>
</Data>
)";

// The kept file's path, from the alert that names it.
std::string KeptPath(const std::string& message) {
    const std::string before = "It was kept as ";
    const std::size_t start = message.find(before);
    const std::size_t end = message.find(" and a new one");
    if (start == std::string::npos || end == std::string::npos) {
        return {};
    }
    return message.substr(start + before.size(), end - start - before.size());
}

class ControllerEntry : public ::testing::Test {
  protected:
    ControllerEntry()
        : controller(view, nullptr, script.factory(), [] { return std::vector<ComboItem>{}; }) {}

    void fill(const std::string& serial) {
        view.type.value = "VX-37";
        view.country.value = "RO ";
        view.key.value = "shop-9";
        view.serial.value = serial;
        view.path.value = "ttyUSB7";
        view.speed.value = "57600";
        view.logicalID.value = "05";  // stored as text, exactly as shown
        view.stepper.value = 5;
    }

    PreferencesDocument stored() const { return Parse(home.readPreferences()); }

    static std::vector<std::string> entrySerials(const pugi::xml_document& document) {
        std::vector<std::string> serials;
        for (const pugi::xml_node device :
             document.document_element().child("Devices").children("Device")) {
            serials.emplace_back(device.attribute("SerialNumber").value());
        }
        return serials;
    }

    TempHome home;
    FakeView view;
    DeviceScript script;
    TallixMacAppDelegate controller;
};

TEST_F(ControllerEntry, NewSerialNumberIsAppendedAndOfferedAtOnce) {
    ASSERT_TRUE(home.writePreferences(kOneEntry));
    fill("SN-NEW");
    view.serial.items = {"stale"};
    controller.pressedAddDevice();

    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    EXPECT_EQ(entrySerials(*document), (std::vector<std::string>{"SN-OLD", "SN-OTHER", "SN-NEW"}));
    const std::optional<DeviceEntry> entry = FindEntryBySerialNumber(*document, "SN-NEW");
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry, (DeviceEntry{"VX-37", "RO ", "shop-9", "SN-NEW", "ttyUSB7", "57600", "05"}));

    EXPECT_EQ(view.serial.items, (std::vector<std::string>{"SN-OLD", "SN-OTHER", "SN-NEW"}));
    EXPECT_EQ(view.serial.value, "SN-NEW");
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>("old"));  // untouched
    EXPECT_EQ(script.created(), 0);
}

TEST_F(ControllerEntry, KnownSerialNumberReplacesThatEntryInPlace) {
    ASSERT_TRUE(home.writePreferences(kOneEntry));
    fill("SN-OLD");
    controller.pressedAddDevice();

    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    EXPECT_EQ(entrySerials(*document), (std::vector<std::string>{"SN-OLD", "SN-OTHER"}));
    const pugi::xml_node first = document->document_element().child("Devices").child("Device");
    EXPECT_STREQ(first.attribute("Key").value(), "shop-9");
    EXPECT_STREQ(first.attribute("Path").value(), "ttyUSB7");
    EXPECT_FALSE(first.attribute("Extra"));
    EXPECT_EQ(view.serial.items, (std::vector<std::string>{"SN-OLD", "SN-OTHER"}));
    EXPECT_EQ(view.serial.value, "SN-OLD");
}

TEST_F(ControllerEntry, EmptyFieldsAreStoredAsEmptyAttributes) {
    controller.applicationDidFinishLaunching();  // fresh machine: start-up document
    view = FakeView{};
    controller.pressedAddDevice();

    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    const std::optional<DeviceEntry> entry = FindEntryBySerialNumber(*document, "");
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry, DeviceEntry{});
    const pugi::xml_node device = document->document_element().child("Devices").child("Device");
    EXPECT_TRUE(device.attribute("LogicalID"));  // all seven are written, even when empty
    EXPECT_EQ(view.serial.items, std::vector<std::string>{""});
}

TEST_F(ControllerEntry, AddDeviceOnAnUnreadableFileStartsANewDocument) {
    ASSERT_TRUE(home.writePreferences("garbage"));
    fill("SN-NEW");
    controller.pressedAddDevice();

    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    EXPECT_FALSE(document->document_element().attribute("Version"));
    EXPECT_FALSE(DefaultKey(*document));
    EXPECT_EQ(entrySerials(*document), std::vector<std::string>{"SN-NEW"});
    EXPECT_EQ(view.serial.items, std::vector<std::string>{"SN-NEW"});
    // The unreadable bytes were kept first, and the alert says where.
    ASSERT_EQ(view.alerts.size(), 1U);
    const std::string kept = KeptPath(view.alerts[0].message);
    EXPECT_EQ(TempDir::ReadFile(kept), "garbage") << view.alerts[0].message;
    EXPECT_EQ(view.status(), "Stored the device entry of SN-NEW");

    // Without a DefaultKey element Set Default only stores the entry, and says so.
    view.key.value = "changed";
    controller.pressedSetDefault();
    const PreferencesDocument after = stored();
    ASSERT_TRUE(after);
    EXPECT_FALSE(DefaultKey(*after));
    EXPECT_EQ(FindEntryBySerialNumber(*after, "SN-NEW")->key, "changed");
    EXPECT_EQ(view.status(),
              "Stored the device entry of SN-NEW; the preferences file has no DefaultKey "
              "element, so no default was recorded");
    EXPECT_EQ(view.alerts.size(), 1U) << "a readable file is not kept again";
}

TEST_F(ControllerEntry, AFailedWriteSaysWhyAndLeavesFileAndControlsAsTheyWere) {
    // A regular file where the preferences folder should be: every write fails, for root too.
    ASSERT_TRUE(TempDir::WriteFile(home.path() + "/Library", "not a folder"));
    controller.applicationDidFinishLaunching();
    view.alerts.clear();
    view.serial.items = {"SN-LISTED"};
    fill("SN-NEW");
    for (const bool setDefault : {false, true}) {
        view.alerts.clear();
        if (setDefault) {
            controller.pressedSetDefault();
        } else {
            controller.pressedAddDevice();
        }
        ASSERT_EQ(view.alerts.size(), 1U) << setDefault;
        EXPECT_EQ(view.alerts[0].style, AlertStyle::Critical);
        EXPECT_EQ(view.alerts[0].message, "The preferences file could not be written.");
        EXPECT_NE(view.alerts[0].informativeText.find("Not a directory"), std::string::npos)
            << view.alerts[0].informativeText;
        EXPECT_EQ(view.status(), "The preferences file could not be written.");
        EXPECT_EQ(view.serial.items, std::vector<std::string>{"SN-LISTED"});
        EXPECT_EQ(view.serial.value, "SN-NEW");
        EXPECT_EQ(view.key.value, "shop-9");
    }
    EXPECT_EQ(TempDir::ReadFile(home.path() + "/Library"), "not a folder");
}

TEST_F(ControllerEntry, SetDefaultStoresTheEntryAndRecordsItsKey) {
    ASSERT_TRUE(home.writePreferences(kOneEntry));
    fill("SN-NEW");
    controller.pressedSetDefault();

    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>("shop-9"));
    EXPECT_EQ(entrySerials(*document), (std::vector<std::string>{"SN-OLD", "SN-OTHER", "SN-NEW"}));
    EXPECT_EQ(view.serial.value, "SN-NEW");
    EXPECT_EQ(view.status(), "Stored shop-9 as the default device");
    EXPECT_FALSE(view.test.shown);  // Set Default never touches the Test button

    // The next start shows the new default entry.
    FakeView next;
    TallixMacAppDelegate restarted(next, nullptr, script.factory(),
                                   [] { return std::vector<ComboItem>{}; });
    restarted.applicationDidFinishLaunching();
    EXPECT_EQ(next.serial.value, "SN-NEW");
    EXPECT_EQ(next.speed.value, "57600");
    EXPECT_EQ(next.stepper.value, 5);

    // An empty key field empties the default key.
    view.key.value = "";
    controller.pressedSetDefault();
    EXPECT_EQ(DefaultKey(*stored()), std::optional<std::string>(""));
    EXPECT_EQ(view.status(), "Stored the entry with the empty key as the default device");
}

TEST_F(ControllerEntry, MissingFolderChainIsCreatedByAddDevice) {
    // No Library folder at all in the new home.
    fill("SN-1");
    controller.pressedAddDevice();
    const PreferencesDocument document = stored();
    ASSERT_TRUE(document);
    EXPECT_EQ(entrySerials(*document), std::vector<std::string>{"SN-1"});
}

}  // namespace
}  // namespace tallix::test
