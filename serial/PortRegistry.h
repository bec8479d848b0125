#pragma once

// The machine's serial ports as the kernel's device tree lists them (libudev enumeration of
// the "tty" subsystem). Works from sysfs alone, without a udev daemon.

#include <functional>
#include <string>

struct udev;
struct udev_device;

namespace tallix {

// A tty device that can carry a printer: it has a device node and a parent device (virtual
// consoles and pseudo-terminals have none), and it is not a serial-core port of type 0 (an
// 8250 slot with no UART behind it).
bool IsSerialPort(udev_device* device);

// Calls visit(device) for each serial port of the kind, in enumeration order (libudev sorts
// by device path), until it returns false. Kinds: "IOSerialStream" and "IORS232SerialStream"
// every port, "IOModemSerialStream" the USB CDC-ACM ones (ttyACM*); any other kind lists
// nothing. The device is only valid during the call.
void EnumeratePortDevices(udev* context, const std::string& serialType,
                          const std::function<bool(udev_device*)>& visit);

// The same, giving the port's kernel name and device node.
void EnumeratePorts(udev* context, const std::string& serialType,
                    const std::function<bool(const std::string&, const std::string&)>& visit);

// Fills names[i] and paths[i] with at most capacity ports of the kind; returns the count.
int findPorts(std::string* names, std::string* paths, int capacity, const std::string& serialType);

}  // namespace tallix
