#include "setup/PrinterActions.h"

#include <memory>
#include <string>
#include <utility>

#include "serial/PortIdentity.h"

namespace tallix {

namespace {

PrinterOutcome Failure(AlertStyle style, std::string message, std::string informativeText = {}) {
    PrinterOutcome outcome;
    outcome.alert = Alert{style, std::move(message), std::move(informativeText)};
    return outcome;
}

// Why the port could not be opened, for the alert's informative text; "" without a device.
std::string OpenFailureText(const Device* device) {
    return device != nullptr ? device->openError().text() : std::string();
}

}  // namespace

PrinterOutcome ReadSerialNumber(const ReadSerialRequest& request, const DeviceFactory& factory) {
    constexpr AlertStyle kStyle = AlertStyle::Warning;
    // Without a device object every device call counts as failed, so the first one decides.
    std::unique_ptr<Device> device;
    if (request.type == kDeviceTypeVX37 && factory) {
        device = factory();
    }
    if (!device || !device->Open(request.path, request.speed)) {
        return Failure(kStyle, "Can not open the path specified", OpenFailureText(device.get()));
    }
    if (!device->Initialize(request.logicalID)) {
        device->Close();
        return Failure(kStyle, "Can not connect to the device.");
    }
    std::string serial;
    if (!device->Oxel_GetSerial(serial)) {
        device->Close();
        return Failure(kStyle, "Device not responding.");
    }
    device->Close();
    PrinterOutcome outcome;
    outcome.serialNumber = std::move(serial);
    return outcome;
}

PrinterOutcome PrintTestReport(const TestRequest& request, const DeviceFactory& factory) {
    constexpr AlertStyle kStyle = AlertStyle::Critical;
    std::unique_ptr<Device> device = factory ? factory() : nullptr;
    if (!device || !device->Open(request.path, kTestSpeed)) {
        return Failure(kStyle, "Unable to open port", OpenFailureText(device.get()));
    }
    if (!device->Initialize(request.logicalID)) {
        device->Close();
        return Failure(kStyle, "Unable to initialize device");
    }
    std::string serial;  // asked only to see that the printer answers
    if (!device->Oxel_GetSerial(serial)) {
        device->Close();
        return Failure(kStyle, "Connection lost");
    }
    const bool printed = device->Report_NonFiscalDay();
    device->Close();
    if (!printed) {
        return Failure(kStyle, "Command failed");
    }
    return {};
}

PrinterOutcome FindPrinters(const FindPrinterRequest& request, const DetectionControl& control) {
    PrinterOutcome outcome;
    std::vector<PortReport> reports;
    if (!request.ports.empty()) {
        const ResolvedPorts resolved = ResolvePorts(request.ports, ListPortIdentities());
        reports = DetectPrinters(resolved.ports, DetectionPlan(request.firstIDs, false), control);
    }
    std::string held;
    bool cancelled = false;
    for (const PortReport& report : reports) {
        if (report.printer) {
            outcome.printers.push_back(*report.printer);
        }
        if (report.outcome == PortOutcome::Busy) {
            held += (held.empty() ? "" : ", ") + report.port.label;
        }
        cancelled = cancelled || report.outcome == PortOutcome::Cancelled;
    }
    if (outcome.printers.empty() && !cancelled) {
        std::string message = "No printer found.";
        if (!held.empty()) {
            message += " In use by another program: " + held + ".";
        }
        outcome.alert = Alert{AlertStyle::Warning, message, {}};
    }
    return outcome;
}

}  // namespace tallix
