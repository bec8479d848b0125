#include "setup/TallixMacAppDelegate.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/Numbers.h"
#include "config/Preferences.h"
#include "protocol/CashRegManager.h"

namespace tallix {

std::vector<std::string> ListRS232Ports() {
    CashRegManager discovery;
    const int count = discovery.findRS232Ports();
    std::vector<std::string> names;
    names.reserve(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) {
        if (auto name = discovery.streamAtIndex(i)) {
            names.push_back(std::move(*name));
        }
    }
    return names;
}

TallixMacAppDelegate::TallixMacAppDelegate(SetupView& view, ActionRunner* runner,
                                           DeviceFactory deviceFactory, PortLister portLister)
    : view_(view),
      runner_(runner != nullptr ? *runner : immediate_),
      deviceFactory_(std::move(deviceFactory)),
      portLister_(std::move(portLister)) {}

void TallixMacAppDelegate::listPorts() {
    if (portLister_) {
        view_.cbDevPath().addItems(portLister_());
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

void TallixMacAppDelegate::runPrinterAction(const std::string& busyText, ActionRunner::Work work,
                                            ActionRunner::Done done) {
    if (printerActionRunning_) {
        return;
    }
    printerActionRunning_ = true;
    runner_.run(busyText, std::move(work), [this, done = std::move(done)](const PrinterOutcome& o) {
        done(o);
        printerActionRunning_ = false;
    });
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
                view_.showAlert(outcome.alert->style, outcome.alert->message);
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
                displayError(outcome.alert->message);
            }
        });
}

void TallixMacAppDelegate::displayError(const std::string& message) {
    view_.showAlert(AlertStyle::Critical, message);
}

}  // namespace tallix
