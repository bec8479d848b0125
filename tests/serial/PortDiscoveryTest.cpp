// The port list from a mock device tree.

#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "serial/SerialManager.h"
#include "tests/serial/MockDeviceTree.h"

namespace tallix {
namespace {

using test::MockDeviceTree;

std::vector<std::string> Names(const SerialManager& ports) {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(ports.numberOfPorts()));
    for (int i = 0; i < ports.numberOfPorts(); ++i) {
        names.push_back(ports.streamAtIndex(i).value_or("<none>"));
    }
    return names;
}

class PortDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tree.add("P: /devices/usb1\nE: SUBSYSTEM=usb\n"));
        ASSERT_TRUE(tree.add("P: /devices/usb2\nE: SUBSYSTEM=usb\n"));
        ASSERT_TRUE(tree.add("P: /devices/platform/serial8250\nE: SUBSYSTEM=platform\n"));
        ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB0", "ttyUSB0", 0));
        ASSERT_TRUE(tree.addTty("/devices/usb2/ttyACM0", "ttyACM0", 1));
        // A phantom 8250 slot, and one with a UART behind it.
        ASSERT_TRUE(
            tree.addTty("/devices/platform/serial8250/tty/ttyS0", "ttyS0", 2, true, "A: type=0\n"));
        ASSERT_TRUE(
            tree.addTty("/devices/platform/serial8250/tty/ttyS1", "ttyS1", 3, true, "A: type=4\n"));
        // A port without a device node, and a virtual console without a parent device.
        ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB9", "ttyUSB9", 4, false));
        ASSERT_TRUE(tree.addTty("/devices/virtual/tty/tty0", "tty0", 5));
    }

    MockDeviceTree tree;
    SerialManager ports;
};

TEST_F(PortDiscovery, ListsRealPortsInEnumerationOrder) {
    const std::vector<std::string> expected{"ttyS1", "ttyUSB0", "ttyACM0"};
    ASSERT_EQ(ports.findPorts(), 3);
    EXPECT_EQ(Names(ports), expected);
    EXPECT_EQ(ports.pathAtIndex(0), std::optional<std::string>("/dev/ttyS1"));
    EXPECT_EQ(ports.pathAtIndex(1), std::optional<std::string>("/dev/ttyUSB0"));
    EXPECT_EQ(ports.pathAtIndex(2), std::optional<std::string>("/dev/ttyACM0"));

    ASSERT_EQ(ports.findRS232Ports(), 3);
    EXPECT_EQ(Names(ports), expected);
    EXPECT_EQ(ports.findPorts("IOSerialStream"), 3);

    ASSERT_EQ(ports.findModems(), 1);
    EXPECT_EQ(ports.streamAtIndex(0), std::optional<std::string>("ttyACM0"));
    EXPECT_EQ(ports.pathAtIndex(0), std::optional<std::string>("/dev/ttyACM0"));

    EXPECT_EQ(ports.findPorts("IOBluetoothSerialStream"), 0);
    EXPECT_EQ(ports.streamAtIndex(0), std::nullopt);
}

TEST_F(PortDiscovery, IndexOutsideTheListGivesNothing) {
    ASSERT_EQ(ports.findRS232Ports(), 3);
    EXPECT_EQ(ports.streamAtIndex(-1), std::nullopt);
    EXPECT_EQ(ports.pathAtIndex(-1), std::nullopt);
    EXPECT_EQ(ports.streamAtIndex(3), std::nullopt);
    EXPECT_EQ(ports.pathAtIndex(3), std::nullopt);
}

TEST_F(PortDiscovery, SecondDiscoveryReplacesTheFirst) {
    ASSERT_EQ(ports.findRS232Ports(), 3);
    tree.remove("/devices/platform/serial8250/tty/ttyS1");
    tree.remove("/devices/usb1/ttyUSB0");
    ASSERT_EQ(ports.findRS232Ports(), 1);
    EXPECT_EQ(ports.streamAtIndex(0), std::optional<std::string>("ttyACM0"));
    EXPECT_EQ(ports.pathAtIndex(0), std::optional<std::string>("/dev/ttyACM0"));
    EXPECT_EQ(ports.streamAtIndex(1), std::nullopt);
    EXPECT_EQ(ports.pathAtIndex(2), std::nullopt);
}

TEST_F(PortDiscovery, ADiscoveredPortCarriesBytes) {
    ASSERT_EQ(ports.findRS232Ports(), 3);
    const std::string path = ports.pathAtIndex(1).value_or("");
    ASSERT_EQ(path, "/dev/ttyUSB0");
    SerialManager line;
    ASSERT_GE(line.open(path, 9600, 8, 0, 1), 0);
    SerialManager other;
    EXPECT_EQ(other.open(path, 9600, 8, 0, 1), -1) << "the port is held";

    const int farEnd = tree.farEnd(path);
    ASSERT_GE(farEnd, 0);
    ASSERT_EQ(::write(farEnd, "\x06", 1), 1);
    EXPECT_EQ(line.readByte(5), 0x06);
    EXPECT_EQ(line.write(reinterpret_cast<const uint8_t*>("\x15"), 1), 1);
    uint8_t answer = 0;
    EXPECT_EQ(::read(farEnd, &answer, 1), 1);
    EXPECT_EQ(answer, 0x15);
}

TEST(PortDiscoveryLimit, ListsAtMost64Ports) {
    MockDeviceTree tree;
    ASSERT_TRUE(tree.add("P: /devices/usb1\nE: SUBSYSTEM=usb\n"));
    for (int i = 0; i < 70; ++i) {
        const std::string name = "ttyUSB" + std::to_string(i);
        ASSERT_TRUE(tree.addTty("/devices/usb1/" + name, name, i));
    }
    SerialManager ports;
    ASSERT_EQ(ports.findPorts(), SerialManager::kMaxPorts);
    const std::vector<std::string> names = Names(ports);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 64U);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(ports.pathAtIndex(i), "/dev/" + names[i]);
    }
    EXPECT_EQ(ports.streamAtIndex(64), std::nullopt);
}

}  // namespace
}  // namespace tallix
