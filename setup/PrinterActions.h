#pragma once

// The printer side of the window's printer actions (reading the serial number, the test
// report, finding the printer). Each takes the inputs gathered from the controls, creates one
// device object, talks to the printer, closes and releases it, and returns what the window
// must show. They never touch the window, so they may run on a worker thread; each stops soon
// after the control's cancel flag is set, closing the port (Find Printer also reports its
// progress).

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
    bool cancelled = false;                 // the user stopped it; the port is closed
    std::vector<DetectedPrinter> printers;  // Find Printer: every printer that answered
    int portsSearched = 0;                  // Find Printer: ports where every probe was made
    std::vector<std::string> portProblems;  // Find Printer: "port: why it could not be probed"
};

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
PrinterOutcome ReadSerialNumber(const ReadSerialRequest& request, const DeviceFactory& factory,
                                const DetectionControl& control = {});

struct TestRequest {
    std::string path;   // cbDevPath
    int speed = 0;      // cbDevSpeed as an integer
    int logicalID = 0;  // stepLogID
};

// Open at the speed shown, Initialize, Oxel_GetSerial, Report_NonFiscalDay, Close. Failures
// give a critical alert (the port's reason as informative text when it cannot be opened). The
// device type is not looked at.
PrinterOutcome PrintTestReport(const TestRequest& request, const DeviceFactory& factory,
                               const DetectionControl& control = {});

struct FindPrinterRequest {
    std::vector<std::string> ports;  // port texts: names, or paths beginning with "/"
    std::vector<int> firstIDs;       // logical IDs tried before 1 and 0
    bool otherIDs = false;           // the IDs 2 to 99 not among the usual ones, instead of them
};

// Probes the ports in parallel at every speed with the usual logical IDs (or the others); a
// reset and one wake-up each, nothing printed or stored. The printers found, in the order of
// the ports, and why each port that could not be probed was left out. No alert: what to say
// when nothing answered is the window's choice.
PrinterOutcome FindPrinters(const FindPrinterRequest& request, const DetectionControl& control);

// Why a port could not be opened, in the window's language: the reason and what to do about
// it, naming the program that holds a port in use when it can be seen. "" when nothing failed.
std::string PortProblemText(const PortError& error, const std::string& holder = {});

}  // namespace tallix
