#pragma once

// What the machine knows of each serial port besides its kernel name: its stable link under
// /dev/serial/by-id/ and, for USB adapters, vendor, model, serial number and driver, as udev
// recorded them. Ports without a udev database entry (no udev daemon, or a port on the
// board) have empty fields.

#include <string>
#include <vector>

struct udev_device;

namespace tallix {

struct PortIdentity {
    std::string name;          // kernel name: ttyUSB0
    std::string path;          // device node: /dev/ttyUSB0
    std::string byIdPath;      // /dev/serial/by-id/… link to the node, or ""
    std::string vendor;        // USB vendor: FTDI
    std::string model;         // USB model: FT232R USB UART
    std::string serialNumber;  // USB serial number of the adapter
    std::string driver;        // USB interface driver: ftdi_sio

    bool operator==(const PortIdentity&) const = default;
};

// The identity of one port as udev describes it. Texts never hold control characters.
PortIdentity IdentityOf(udev_device* device);

// Every serial port (the ports and the order of findRS232Ports) with its identity.
std::vector<PortIdentity> ListPortIdentities();

// The port's by-id link when it has one, else its device node: the name that keeps meaning
// the same adapter when adapters are plugged in another order.
const std::string& StablePath(const PortIdentity& port);

}  // namespace tallix
