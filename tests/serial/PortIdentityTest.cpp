// What udev tells of each port: by-id link and the USB adapter's names.

#include <gtest/gtest.h>

#include <vector>

#include "serial/PortIdentity.h"
#include "tests/serial/MockDeviceTree.h"

namespace tallix {
namespace {

using test::MockDeviceTree;

TEST(PortIdentity, UsbAdaptersBoardPortsAndOddTexts) {
    MockDeviceTree tree;
    ASSERT_TRUE(tree.add("P: /devices/usb1\nE: SUBSYSTEM=usb\n"));
    ASSERT_TRUE(tree.add("P: /devices/platform/serial8250\nE: SUBSYSTEM=platform\n"));
    // A board port: nothing but its name.
    ASSERT_TRUE(
        tree.addTty("/devices/platform/serial8250/tty/ttyS1", "ttyS1", 3, true, "A: type=4\n"));
    // An adapter with its own strings (blanks written as \x20) and two links.
    ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB0", "ttyUSB0", 0, true,
                            "E: ID_VENDOR=FTDI\n"
                            "E: ID_VENDOR_ENC=FTDI\n"
                            "E: ID_VENDOR_ID=0403\n"
                            "E: ID_MODEL=FT232R_USB_UART\n"
                            "E: ID_MODEL_ENC=FT232R\\x20USB\\x20UART\n"
                            "E: ID_MODEL_ID=6001\n"
                            "E: ID_SERIAL_SHORT=A1B2C3\n"
                            "E: ID_USB_DRIVER=ftdi_sio\n"
                            "E: DEVLINKS=/dev/serial/by-path/pci-0:2:1.0-port0 "
                            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\n"));
    // An adapter without strings: udev puts the numeric IDs there, the database has names.
    // A tab inside a text would split a listed line.
    ASSERT_TRUE(tree.addTty("/devices/usb1/ttyUSB1", "ttyUSB1", 1, true,
                            "E: ID_VENDOR=1a86\n"
                            "E: ID_VENDOR_ID=1a86\n"
                            "E: ID_VENDOR_FROM_DATABASE=QinHeng Electronics\n"
                            "E: ID_MODEL=USB_Serial\n"
                            "E: ID_MODEL_ID=7523\n"
                            "E: ID_MODEL_FROM_DATABASE=CH340 serial converter\n"
                            "E: ID_SERIAL_SHORT=\todd\tone\n"
                            "E: ID_USB_DRIVER=ch341\n"));

    const std::vector<PortIdentity> ports = ListPortIdentities();
    ASSERT_EQ(ports.size(), 3U);

    EXPECT_EQ(ports[0], (PortIdentity{"ttyS1", "/dev/ttyS1", "", "", "", "", ""}));
    EXPECT_EQ(StablePath(ports[0]), "/dev/ttyS1");

    EXPECT_EQ(ports[1],
              (PortIdentity{"ttyUSB0", "/dev/ttyUSB0",
                            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "FTDI",
                            "FT232R USB UART", "A1B2C3", "ftdi_sio"}));
    EXPECT_EQ(StablePath(ports[1]), ports[1].byIdPath);

    EXPECT_EQ(ports[2].vendor, "QinHeng Electronics");
    EXPECT_EQ(ports[2].model, "USB Serial");  // its own text, though a plain one
    EXPECT_EQ(ports[2].serialNumber, "odd one");
    EXPECT_EQ(ports[2].byIdPath, "");
    EXPECT_EQ(ports[2].driver, "ch341");
}

}  // namespace
}  // namespace tallix
