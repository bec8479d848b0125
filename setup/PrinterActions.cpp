#include "setup/PrinterActions.h"

#include <memory>
#include <string>
#include <utility>

#include "posix/ErrnoText.h"
#include "serial/PortIdentity.h"
#include "setup/WindowText.h"

namespace tallix {

namespace {

PrinterOutcome Failure(AlertStyle style, std::string message, std::string informativeText = {}) {
    PrinterOutcome outcome;
    outcome.alert = Alert{style, std::move(message), std::move(informativeText)};
    return outcome;
}

bool Cancelled(const DetectionControl& control) {
    return control.cancel != nullptr && control.cancel->load();
}

// A step failed: cancelled when the user asked for it (no alert), else the alert.
PrinterOutcome StepFailure(const DetectionControl& control, AlertStyle style, std::string message,
                           std::string informativeText = {}) {
    if (Cancelled(control)) {
        PrinterOutcome outcome;
        outcome.cancelled = true;
        return outcome;
    }
    return Failure(style, std::move(message), std::move(informativeText));
}

// Why the port could not be opened, for the alert's informative text; "" without a device.
std::string OpenFailureText(const Device* device) {
    if (device == nullptr) {
        return {};
    }
    const PortError error = device->openError();
    return PortProblemText(error,
                           error.failure == PortFailure::InUse ? PortHolder(error.port) : "");
}

// A device opened for the request and told to stop when the control is cancelled; nothing
// when it cannot be opened (why is in failure).
std::unique_ptr<Device> OpenDevice(const DeviceFactory& factory, const std::string& path, int speed,
                                   const DetectionControl& control, std::string& failure) {
    std::unique_ptr<Device> device = factory ? factory() : nullptr;
    if (!device) {
        return nullptr;
    }
    device->SetCancel(control.cancel);
    if (!device->Open(path, speed)) {
        failure = OpenFailureText(device.get());
        return nullptr;
    }
    return device;
}

// Why the printer gave no usable answer, for the alert's informative text.
std::string WakeProblemText(WakeFailure failure) {
    switch (failure) {
        case WakeFailure::kSilence:
            return WindowText("Tallix",
                              "No answer: check the printer is on, the speed and the logical ID");
        case WakeFailure::kNoValidAnswer:
            return WindowText("Tallix", "No valid answer: wrong speed or noise on the line");
        case WakeFailure::kNoCounter:
            return WindowText("Tallix", "The printer's answer carries no sequence counter");
        case WakeFailure::kHungUp:
            return WindowText("Tallix", "The line hung up");
        case WakeFailure::kCancelled:
            break;
    }
    return {};
}

}  // namespace

std::string PortProblemText(const PortError& error, const std::string& holder) {
    std::string errnoText = ErrnoText(error.error);
    switch (error.failure) {
        case PortFailure::None:
            return {};
        case PortFailure::Missing:
            return FillIn(
                WindowText("Tallix", "%1: check the port and that the printer is connected"),
                {errnoText});
        case PortFailure::PermissionDenied:
            return FillIn(
                WindowText("Tallix", "%1: add the user to the group dialout and log in again"),
                {errnoText});
        case PortFailure::InUse:
            if (!holder.empty()) {
                return FillIn(WindowText("Tallix", "Port in use by %1"), {holder});
            }
            return WindowText(
                "Tallix",
                "Port in use: another tallix run, the set-up window or another program has it "
                "open");
        case PortFailure::NotATerminal:
            return WindowText(
                "Tallix",
                "Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)");
        case PortFailure::NotListed:
            return WindowText("Tallix",
                              "No such serial port: no port's name begins with this text");
        case PortFailure::NoPortGiven:
            return WindowText("Tallix", "No port given: choose the printer's port");
        case PortFailure::LineSettings:
            if (error.error != 0) {
                return FillIn(WindowText("Tallix", "%1: the port refused the line settings (%2)"),
                              {errnoText, error.detail});
            }
            return FillIn(WindowText("Tallix", "The port did not keep the line settings: %1"),
                          {error.detail});
        case PortFailure::Other:
            break;
    }
    return errnoText;
}

PrinterOutcome ReadSerialNumber(const ReadSerialRequest& request, const DeviceFactory& factory,
                                const DetectionControl& control) {
    constexpr AlertStyle kStyle = AlertStyle::Warning;
    // Without a device object every device call counts as failed, so the first one decides.
    std::string why;
    std::unique_ptr<Device> device;
    if (request.type == kDeviceTypeVX37) {
        device = OpenDevice(factory, request.path, request.speed, control, why);
    }
    if (!device) {
        return Failure(kStyle, WindowText("Tallix", "Can not open the path specified"), why);
    }
    if (!device->Initialize(request.logicalID)) {
        device->Close();
        return StepFailure(control, kStyle, WindowText("Tallix", "Can not connect to the device."));
    }
    const SerialRead read = device->ReadSerial();
    device->Close();
    if (!read) {
        return StepFailure(control, kStyle, WindowText("Tallix", "Device not responding."),
                           WakeProblemText(read.failure));
    }
    PrinterOutcome outcome;
    outcome.serialNumber = *read.serialNumber;
    return outcome;
}

PrinterOutcome PrintTestReport(const TestRequest& request, const DeviceFactory& factory,
                               const DetectionControl& control) {
    constexpr AlertStyle kStyle = AlertStyle::Critical;
    std::string why;
    std::unique_ptr<Device> device = OpenDevice(factory, request.path, request.speed, control, why);
    if (!device) {
        return Failure(kStyle, WindowText("Tallix", "Unable to open port"), why);
    }
    if (!device->Initialize(request.logicalID)) {
        device->Close();
        return StepFailure(control, kStyle, WindowText("Tallix", "Unable to initialize device"));
    }
    // Asked only to see that the printer answers.
    if (const SerialRead read = device->ReadSerial(); !read) {
        device->Close();
        return StepFailure(control, kStyle, WindowText("Tallix", "Connection lost"),
                           WakeProblemText(read.failure));
    }
    const bool printed = device->Report_NonFiscalDay();
    device->Close();
    if (!printed) {
        return StepFailure(control, kStyle, WindowText("Tallix", "Command failed"));
    }
    return {};
}

PrinterOutcome FindPrinters(const FindPrinterRequest& request, const DetectionControl& control) {
    PrinterOutcome outcome;
    std::vector<PortReport> reports;
    if (!request.ports.empty()) {
        const ResolvedPorts resolved = ResolvePorts(request.ports, ListPortIdentities());
        const std::vector<ProbeStep> plan = request.otherIDs
                                                ? OtherIDsPlan(request.firstIDs)
                                                : DetectionPlan(request.firstIDs, false);
        reports = DetectPrinters(resolved.ports, plan, control);
    }
    for (const PortReport& report : reports) {
        if (report.printer) {
            outcome.printers.push_back(*report.printer);
        }
        if (report.outcome == PortOutcome::Busy || report.outcome == PortOutcome::CannotOpen) {
            outcome.portProblems.push_back(report.port.label + ": " +
                                           PortProblemText(report.error, report.holder));
        }
        outcome.portsSearched += report.outcome == PortOutcome::NotFound ? 1 : 0;
        outcome.cancelled = outcome.cancelled || report.outcome == PortOutcome::Cancelled;
    }
    return outcome;
}

}  // namespace tallix
