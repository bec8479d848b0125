// Hot-plug notices from the mock device tree's uevents.

#include <poll.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "serial/SerialManager.h"
#include "tests/serial/MockDeviceTree.h"

namespace tallix {
namespace {

using test::MockDeviceTree;
using Notice = std::pair<std::string, bool>;

class PortDelegate : public SerialManagerDelegate {
  public:
    bool respondsToPortAdded() const override { return true; }
    void port(const std::string& name, bool added) override { notices.emplace_back(name, added); }
    std::vector<Notice> notices;
};

// A delegate that answers neither message.
class SilentDelegate : public SerialManagerDelegate {};

// Waits for the notice descriptor and dispatches until count notices are in.
bool DispatchUntil(SerialManager& ports, const PortDelegate& delegate, size_t count) {
    for (int round = 0; round < 50 && delegate.notices.size() < count; ++round) {
        pollfd in{ports.notificationDescriptor(), POLLIN, 0};
        if (poll(&in, 1, 100) > 0) {
            ports.dispatchNotifications();
        }
    }
    return delegate.notices.size() >= count;
}

class HotPlug : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tree.add("P: /devices/usb1\nE: SUBSYSTEM=usb\n"));
        ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB0", "ttyUSB0", 0));
        ASSERT_TRUE(tree.addTty("/devices/virtual/tty/tty0", "tty0", 5));
    }
    MockDeviceTree tree;
    SerialManager ports;
    PortDelegate delegate;
};

TEST_F(HotPlug, PresentPortsFirstThenArrivalAndRemoval) {
    EXPECT_EQ(ports.notificationDescriptor(), -1);
    ports.setDelegate(&delegate);
    ASSERT_GE(ports.notificationDescriptor(), 0);
    EXPECT_EQ(delegate.notices, std::vector<Notice>({{"ttyUSB0", true}}));
    delegate.notices.clear();

    // The testbed sends "add" for each device it adds. A virtual console is no serial port.
    ASSERT_TRUE(tree.addTty("/devices/virtual/tty/tty1", "tty1", 6));
    ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB1", "ttyUSB1", 1));
    ASSERT_TRUE(DispatchUntil(ports, delegate, 1));
    EXPECT_EQ(delegate.notices, std::vector<Notice>({{"ttyUSB1", true}}));

    tree.uevent("/devices/virtual/tty/tty1", "remove");
    tree.uevent("/devices/usb1/ttyUSB1", "remove");
    tree.remove("/devices/usb1/ttyUSB1");
    ASSERT_TRUE(DispatchUntil(ports, delegate, 2));
    EXPECT_EQ(delegate.notices, std::vector<Notice>({{"ttyUSB1", true}, {"ttyUSB1", false}}));

    ports.setDelegate(nullptr);
    EXPECT_EQ(ports.notificationDescriptor(), -1);
    ports.dispatchNotifications();  // nothing to do, and harmless
}

TEST_F(HotPlug, NoticesReachOnlyADelegateThatAnswersThem) {
    ports.startNotification();
    ASSERT_GE(ports.notificationDescriptor(), 0);
    SilentDelegate silent;
    ports.setDelegate(&silent);
    ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB2", "ttyUSB2", 2));
    pollfd in{ports.notificationDescriptor(), POLLIN, 0};
    ASSERT_GT(poll(&in, 1, 5000), 0);
    ports.dispatchNotifications();  // told to nobody; must not fail

    // Installing a delegate that wants notices while they are on changes nothing else.
    ports.setDelegate(&delegate);
    tree.uevent("/devices/usb1/ttyUSB2", "remove");
    ASSERT_TRUE(DispatchUntil(ports, delegate, 1));
    EXPECT_EQ(delegate.notices.back(), Notice("ttyUSB2", false));
    EXPECT_EQ(delegate.notices.size(), 1U);
    ports.stopNotification();
    EXPECT_EQ(ports.notificationDescriptor(), -1);
}

}  // namespace
}  // namespace tallix
