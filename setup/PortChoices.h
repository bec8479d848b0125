#pragma once

// What the port box offers: each serial port with a short description, standing for the text
// that choosing it puts into the box.

#include <vector>

#include "serial/PortIdentity.h"
#include "setup/SetupView.h"

namespace tallix {

// Label "ttyUSB0 — FTDI FT232R USB UART (A1B2C3)": the kernel name, then what the adapter
// says of itself (vendor, model, serial number in brackets) when it says anything. Value: the
// by-id link when the port has one, which stays right when adapters are plugged in another
// order; else the kernel name.
ComboItem PortChoice(const PortIdentity& port);

// Every serial port, in the order of port discovery. No port is opened.
std::vector<ComboItem> ListPortChoices();

}  // namespace tallix
