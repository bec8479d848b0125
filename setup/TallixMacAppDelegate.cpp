#include "setup/TallixMacAppDelegate.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/Numbers.h"
#include "config/Preferences.h"

namespace tallix {

TallixMacAppDelegate::TallixMacAppDelegate(SetupView& view, ActionRunner* runner,
                                           DeviceFactory deviceFactory, PortLister portLister)
    : view_(view),
      runner_(runner != nullptr ? *runner : immediate_),
      deviceFactory_(std::move(deviceFactory)),
      portLister_(std::move(portLister)) {}

void TallixMacAppDelegate::listPorts() {
    if (portLister_) {
        view_.cbDevPath().addItemsWithValues(portLister_());
    }
}

void TallixMacAppDelegate::showEntry(const DeviceEntry& entry) {
    view_.cbDevType().setText(entry.type);
    view_.cbDevCountry().setText(entry.country);
    view_.cbDevPath().setText(entry.path);
    view_.cbDevSpeed().setText(entry.speed);
    view_.keyField().setText(entry.key);
    // The field shows the stored text as it is (Read Serial and Add Device then use what
    // batch runs use); the stepper holds the nearest value in its range.
    const int logicalID = ParseLeadingInt(entry.logicalID);
    if (entry.logicalID.empty()) {
        view_.textLogID().setIntValue(logicalID);
    } else {
        view_.textLogID().setText(entry.logicalID);
    }
    view_.stepLogID().setIntValue(logicalID);
}

void TallixMacAppDelegate::applicationDidFinishLaunching() {
    const Preferences preferences;
    preferences.prepare();
    PreferencesDocument document = preferences.read();
    if (!document) {
        document = preferences.writeStartUpDocument();
    }

    listPorts();

    const std::optional<std::string> defaultKey = DefaultKey(*document);
    std::string serialNumber;
    if (const std::optional<DeviceEntry> entry = DefaultEntry(*document)) {
        showEntry(*entry);
        serialNumber = entry->serialNumber;
    }

    view_.cbDevSN().addItems(SerialNumbers(*document));
    view_.cbDevSN().setText(serialNumber);

    if (defaultKey) {
        view_.btTest().setShown(true);
    }
}

void TallixMacAppDelegate::selectedSN() {
    const Preferences preferences;
    preferences.prepare();
    const PreferencesDocument document = preferences.read();
    if (!document) {
        return;
    }
    const std::string serialNumber = view_.cbDevSN().text();
    if (const std::optional<DeviceEntry> entry = FindEntryBySerialNumber(*document, serialNumber)) {
        showEntry(*entry);
    }
}

void TallixMacAppDelegate::selectedPath() {
    if (const std::optional<std::string> value = view_.cbDevPath().pickedValue()) {
        view_.cbDevPath().setText(*value);
    }
}

void TallixMacAppDelegate::pressedRefreshPath() {
    view_.cbDevPath().setText("");
    view_.cbDevPath().removeAllItems();
    listPorts();
}

void TallixMacAppDelegate::portsChanged() {
    ComboControl& path = view_.cbDevPath();
    const std::string typed = path.text();
    path.removeAllItems();
    listPorts();
    path.setText(typed);
}

std::optional<ActionRunner::Done> TallixMacAppDelegate::beginPrinterAction(
    ActionRunner::Done done) {
    if (printerActionRunning_) {
        return std::nullopt;
    }
    printerActionRunning_ = true;
    return [this, done = std::move(done)](const PrinterOutcome& outcome) {
        done(outcome);
        printerActionRunning_ = false;
    };
}

void TallixMacAppDelegate::runPrinterAction(const std::string& busyText, ActionRunner::Work work,
                                            ActionRunner::Done done) {
    if (std::optional<ActionRunner::Done> finish = beginPrinterAction(std::move(done))) {
        runner_.run(busyText, std::move(work), std::move(*finish));
    }
}

void TallixMacAppDelegate::pressedRefreshSN() {
    ReadSerialRequest request;
    request.type = view_.cbDevType().text();
    request.path = view_.cbDevPath().text();
    request.speed = view_.cbDevSpeed().intValue();
    request.logicalID = view_.textLogID().intValue();
    runPrinterAction(
        "Reading the serial number from the printer…",
        [request, factory = deviceFactory_] { return ReadSerialNumber(request, factory); },
        [this](const PrinterOutcome& outcome) {
            if (outcome.alert) {
                view_.showAlert(*outcome.alert);
            } else if (outcome.serialNumber) {
                view_.cbDevSN().setText(*outcome.serialNumber);
            }
        });
}

void TallixMacAppDelegate::pressedAddDevice() {
    DeviceEntry entry;
    entry.type = view_.cbDevType().text();
    entry.country = view_.cbDevCountry().text();
    entry.key = view_.keyField().text();
    entry.serialNumber = view_.cbDevSN().text();
    entry.path = view_.cbDevPath().text();
    entry.speed = view_.cbDevSpeed().text();
    entry.logicalID = view_.textLogID().text();

    const Preferences preferences;
    preferences.storeEntry(entry);

    // The list as the file now holds it, so a newly stored entry is offered at once.
    ComboControl& serialNumbers = view_.cbDevSN();
    serialNumbers.removeAllItems();
    if (const PreferencesDocument document = preferences.read()) {
        serialNumbers.addItems(SerialNumbers(*document));
    }
    serialNumbers.setText(entry.serialNumber);
}

void TallixMacAppDelegate::pressedSetDefault() {
    pressedAddDevice();
    const Preferences preferences;
    preferences.setDefault(view_.keyField().text());
}

void TallixMacAppDelegate::pressedTest() {
    TestRequest request;
    request.path = view_.cbDevPath().text();
    request.logicalID = view_.stepLogID().intValue();
    runPrinterAction(
        "Printing the test report…",
        [request, factory = deviceFactory_] { return PrintTestReport(request, factory); },
        [this](const PrinterOutcome& outcome) {
            if (outcome.alert) {
                view_.showAlert(*outcome.alert);
            }
        });
}

void TallixMacAppDelegate::displayError(const std::string& message) {
    view_.showAlert(Alert{AlertStyle::Critical, message, {}});
}

void TallixMacAppDelegate::showPrinter(const DetectedPrinter& printer) {
    view_.cbDevPath().setText(printer.port);
    view_.cbDevSpeed().setText(std::to_string(printer.speed));
    view_.textLogID().setIntValue(printer.logicalID);
    view_.stepLogID().setIntValue(printer.logicalID);
    view_.cbDevSN().setText(printer.serialNumber);
}

void TallixMacAppDelegate::pressedFindPrinter() {
    FindPrinterRequest request;
    if (portLister_) {
        for (const ComboItem& port : portLister_()) {
            request.ports.push_back(port.value);
        }
    }
    const std::string typed = view_.cbDevPath().text();
    if (!typed.empty() &&
        std::find(request.ports.begin(), request.ports.end(), typed) == request.ports.end()) {
        request.ports.push_back(typed);
    }
    request.firstIDs.push_back(view_.textLogID().intValue());
    const Preferences preferences;
    if (const PreferencesDocument document = preferences.read()) {
        if (const std::optional<DeviceEntry> entry = DefaultEntry(*document)) {
            request.firstIDs.push_back(ParseLeadingInt(entry->logicalID));
        }
    }

    std::optional<ActionRunner::Done> finish =
        beginPrinterAction([this](const PrinterOutcome& outcome) {
            if (outcome.alert) {
                view_.showAlert(*outcome.alert);
                return;
            }
            std::optional<std::size_t> chosen;
            if (outcome.printers.size() == 1) {
                chosen = 0;
            } else if (outcome.printers.size() > 1) {
                std::vector<std::string> descriptions;
                for (const DetectedPrinter& p : outcome.printers) {
                    descriptions.push_back(p.port + " \u2014 " + std::to_string(p.speed) +
                                           " baud, logical ID " + std::to_string(p.logicalID) +
                                           ", serial number " + p.serialNumber);
                }
                chosen = view_.choosePrinter(descriptions);
            }
            if (chosen && *chosen < outcome.printers.size()) {
                showPrinter(outcome.printers[*chosen]);
            }
        });
    if (finish) {
        runner_.runCancellable(
            "Looking for the printer on every port…",
            [request](const DetectionControl& control) { return FindPrinters(request, control); },
            std::move(*finish));
    }
}

}  // namespace tallix
