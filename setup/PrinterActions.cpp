#include "setup/PrinterActions.h"

#include <memory>
#include <string>
#include <utility>

#include "device/VX37RO.h"

namespace tallix {

namespace {

PrinterOutcome Failure(AlertStyle style, std::string message) {
    PrinterOutcome outcome;
    outcome.alert = Alert{style, std::move(message)};
    return outcome;
}

}  // namespace

DeviceFactory DefaultDeviceFactory() {
    return [] { return std::make_unique<VX37RO>(); };
}

PrinterOutcome ReadSerialNumber(const ReadSerialRequest& request, const DeviceFactory& factory) {
    constexpr AlertStyle kStyle = AlertStyle::Warning;
    // Without a device object every device call counts as failed, so the first one decides.
    std::unique_ptr<VX37RO> device;
    if (request.type == kDeviceTypeVX37 && factory) {
        device = factory();
    }
    if (!device || !device->Open(request.path, request.speed)) {
        return Failure(kStyle, "Can not open the path specified");
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
    std::unique_ptr<VX37RO> device = factory ? factory() : nullptr;
    if (!device || !device->Open(request.path, kTestSpeed)) {
        return Failure(kStyle, "Unable to open port");
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

}  // namespace tallix
