// Opening the printer's port by the beginning of its name, against a mock device tree (the
// binary runs under umockdev-wrapper).

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "protocol/CashRegManager.h"
#include "serial/SerialManager.h"
#include "tests/serial/MockDeviceTree.h"

namespace tallix {
namespace {

using test::MockDeviceTree;

// One byte from the far end of an emulated port, or -1 when none comes within five seconds.
int ReadFarEnd(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) != 1) {
        return -1;
    }
    uint8_t byte = 0;
    return ::read(fd, &byte, 1) == 1 ? byte : -1;
}

class LinkOpenByName : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tree.add("P: /devices/usb1\nE: SUBSYSTEM=usb\n"));
        ASSERT_TRUE(tree.add("P: /devices/usb2\nE: SUBSYSTEM=usb\n"));
        ASSERT_TRUE(tree.addTty("/devices/usb2/ttyUSB1", "ttyUSB1", 1));
        ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB0", "ttyUSB0", 0));
        ASSERT_TRUE(tree.addTty("/devices/usb1/ttyACM0", "ttyACM0", 2));
    }

    // The device node of the first listed port whose name begins with prefix.
    static std::string FirstListed(const std::string& prefix) {
        SerialManager ports;
        for (int i = 0; i < ports.findRS232Ports(); ++i) {
            if (ports.streamAtIndex(i)->starts_with(prefix)) {
                return *ports.pathAtIndex(i);
            }
        }
        return {};
    }

    MockDeviceTree tree;
};

// The link lists ports like any port object, and offers nothing else of its own line: it is
// read and written only through the link's exchanges.
template <typename Link>
constexpr bool kListsPorts = requires(Link& link) {
    link.findRS232Ports();
    link.streamAtIndex(0);
    link.pathAtIndex(0);
};
template <typename Link>
constexpr bool kReadsItsLine = requires(Link& link, uint8_t* bytes) {
    link.read(bytes, 1, 0.1);
};
template <typename Link>
constexpr bool kWritesItsLine = requires(Link& link, const uint8_t* bytes) {
    link.write(bytes, 1);
};
template <typename Link>
constexpr bool kOpensARawLine = requires(Link& link) {
    link.open("/dev/null", 9600, 8, 0, 1);
};
static_assert(kListsPorts<CashRegManager>);
static_assert(!kReadsItsLine<CashRegManager> && !kWritesItsLine<CashRegManager>);
static_assert(!kOpensARawLine<CashRegManager>);
static_assert(kReadsItsLine<SerialManager> && kOpensARawLine<SerialManager>);
static_assert(!std::is_convertible_v<CashRegManager*, SerialManager*>);

TEST_F(LinkOpenByName, ListsTheSamePortsAsAPortObject) {
    SerialManager ports;
    CashRegManager link;
    const int count = ports.findRS232Ports();
    ASSERT_EQ(count, 3);
    ASSERT_EQ(link.findRS232Ports(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(link.streamAtIndex(i), ports.streamAtIndex(i));
        EXPECT_EQ(link.pathAtIndex(i), ports.pathAtIndex(i));
    }
}

TEST_F(LinkOpenByName, TakesTheFirstListedPortWhoseNameBeginsWithTheText) {
    const std::string first = FirstListed("ttyUSB");
    ASSERT_FALSE(first.empty());
    CashRegManager link;
    ASSERT_TRUE(link.Open("ttyUSB", 9600));
    link.SendFF(1);
    EXPECT_EQ(ReadFarEnd(tree.farEnd(first)), 0xFF);
    link.Close();
}

TEST_F(LinkOpenByName, WholeNameSelectsThatPort) {
    CashRegManager link;
    ASSERT_TRUE(link.Open("ttyACM0", 9600)) << link.openError().describe();
    link.SendFF(1);
    EXPECT_EQ(ReadFarEnd(tree.farEnd("/dev/ttyACM0")), 0xFF);
}

TEST_F(LinkOpenByName, TextThatBeginsNoNameOpensNothing) {
    CashRegManager link;
    EXPECT_FALSE(link.Open("ttyS", 9600));
    EXPECT_FALSE(link.Open("TTYUSB", 9600));  // the comparison is exact
    EXPECT_FALSE(link.Open("ttyUSB0 ", 9600));
    // Nothing was opened: every port can still be taken.
    SerialManager line;
    EXPECT_GE(line.open("/dev/ttyUSB0", 9600, 8, 0, 1), 0);
}

// Every name begins with the empty text; the first listed port may be a modem or a scale.
TEST_F(LinkOpenByName, EmptyTextNamesNoPortAndNothingIsWritten) {
    CashRegManager link;
    EXPECT_FALSE(link.Open("", 9600));
    EXPECT_EQ(link.openError().failure, PortFailure::NoPortGiven);
    EXPECT_EQ(link.openError().describe(), "no port given");
    // What a run would send next reaches no port.
    EXPECT_FALSE(link.Reset());
    link.SendFF(5);
    for (const char* node : {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0"}) {
        pollfd p{tree.farEnd(node), POLLIN, 0};
        (void)poll(&p, 1, 0);
        EXPECT_EQ(p.revents & POLLIN, 0) << node;
        SerialManager line;  // and none of them is held
        EXPECT_GE(line.open(node, 9600, 8, 0, 1), 0) << node;
    }
    // The reason stays until the next Open that works.
    link.Close();
    EXPECT_EQ(link.openError().failure, PortFailure::NoPortGiven);
    ASSERT_TRUE(link.Open("ttyACM0", 9600));
    EXPECT_FALSE(link.openError().failed());
}

}  // namespace
}  // namespace tallix
