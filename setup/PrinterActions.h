#pragma once

// The printer side of the window's two printer actions (reading the serial number, the test
// report). Each takes the inputs gathered from the controls, creates one device object,
// talks to the printer, closes and releases it, and returns what the window must show. They
// never touch the window, so they may run on a worker thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/Device.h"
#include "device/PrinterDetection.h"
#include "device/VX37RO.h"
#include "setup/SetupView.h"

namespace tallix {

// What a printer action brings back: the serial number read (when reading it succeeded) and
// the alert to show (when a step failed).
struct PrinterOutcome {
    std::optional<std::string> serialNumber;
    std::optional<Alert> alert;
    std::vector<DetectedPrinter> printers;  // Find Printer: every printer that answered
};

// The test report always runs at this speed, whatever the speed box shows.
inline constexpr int kTestSpeed = 38400;

struct ReadSerialRequest {
    std::string type;   // cbDevType
    std::string path;   // cbDevPath
    int speed = 0;      // cbDevSpeed as an integer
    int logicalID = 0;  // textLogID as an integer
};

// Open at the given speed, Initialize, Oxel_GetSerial, Close. Failures give a warning alert;
// a type other than kDeviceTypeVX37 (the one type the window can talk to) fails like a port
// that cannot be opened, and opens nothing. The alert of a port that cannot be opened says
// why in its informative text.
PrinterOutcome ReadSerialNumber(const ReadSerialRequest& request, const DeviceFactory& factory);

struct TestRequest {
    std::string path;   // cbDevPath
    int logicalID = 0;  // stepLogID
};

// Open at 38400 baud, Initialize, Oxel_GetSerial, Report_NonFiscalDay, Close. Failures give
// a critical alert (the port's reason as informative text when it cannot be opened). The
// device type is not looked at.
PrinterOutcome PrintTestReport(const TestRequest& request, const DeviceFactory& factory);

struct FindPrinterRequest {
    std::vector<std::string> ports;  // port texts: names, or paths beginning with "/"
    std::vector<int> firstIDs;       // logical IDs tried before 1 and 0
};

// Probes the ports in parallel at every speed with the usual logical IDs; a reset and one
// wake-up each, nothing printed or stored. The printers found, in the order of the ports;
// when none answered (and the search was not cancelled), a warning alert that also names
// the ports another program holds.
PrinterOutcome FindPrinters(const FindPrinterRequest& request, const DetectionControl& control);

}  // namespace tallix
