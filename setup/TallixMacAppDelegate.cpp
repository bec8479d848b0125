#include "setup/TallixMacAppDelegate.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/Numbers.h"
#include "config/Preferences.h"
#include "setup/WindowText.h"

namespace tallix {

namespace {

// The logical IDs as a person reads them: "3, 1 and 0".
std::string ListOfIDs(const std::vector<int>& ids) {
    std::string list;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) {
            list += i + 1 == ids.size() ? WindowText("Tallix", " and ") : ", ";
        }
        list += std::to_string(ids[i]);
    }
    return list;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

}  // namespace

TallixMacAppDelegate::TallixMacAppDelegate(SetupView& view, ActionRunner* runner,
                                           DeviceFactory deviceFactory, PortLister portLister)
    : view_(view),
      runner_(runner != nullptr ? *runner : immediate_),
      deviceFactory_(std::move(deviceFactory)),
      portLister_(std::move(portLister)) {}

int TallixMacAppDelegate::listPorts() {
    if (!portLister_) {
        return 0;
    }
    const std::vector<ComboItem> ports = portLister_();
    view_.cbDevPath().addItemsWithValues(ports);
    return static_cast<int>(ports.size());
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

bool TallixMacAppDelegate::reportFileChange(const FileChange& change) {
    if (!change.keptAs.empty()) {
        view_.showAlert(Alert{
            AlertStyle::Warning,
            FillIn(WindowText(
                       "Tallix",
                       "The preferences file could not be read. It was kept as %1 and a new one "
                       "was started."),
                   {change.keptAs}),
            WindowText("Tallix", "The device entries it held are in the kept file.")});
    }
    if (change.written || change.error.empty()) {
        return true;
    }
    const std::string message = WindowText("Tallix", "The preferences file could not be written.");
    view_.showAlert(Alert{AlertStyle::Critical, message, change.error});
    view_.showStatus(message);
    return false;
}

void TallixMacAppDelegate::applicationDidFinishLaunching() {
    const StartUp start = Preferences().startUp();
    reportFileChange(start.change);
    const pugi::xml_document& document = *start.document;

    listPorts();

    const std::optional<std::string> defaultKey = DefaultKey(document);
    std::string serialNumber;
    if (const std::optional<DeviceEntry> entry = DefaultEntry(document)) {
        showEntry(*entry);
        serialNumber = entry->serialNumber;
    }

    view_.cbDevSN().addItems(SerialNumbers(document));
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
        view_.showStatus(
            FillIn(WindowText("Tallix", "Showing the device entry of %1"), {serialNumber}));
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
    const int count = listPorts();
    view_.showStatus(
        FillIn(WindowText("Tallix", "Serial ports found: %1"), {std::to_string(count)}));
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
        printerActionRunning_ = false;
        done(o);
    });
}

// The alert of a failed step, and its message as the status; true when there was one.
bool TallixMacAppDelegate::showFailure(const PrinterOutcome& outcome) {
    if (outcome.cancelled) {
        view_.showStatus(WindowText("Tallix", "Cancelled; the port is closed"));
        return true;
    }
    if (!outcome.alert) {
        return false;
    }
    view_.showStatus(outcome.alert->message);
    view_.showAlert(*outcome.alert);
    return true;
}

void TallixMacAppDelegate::pressedRefreshSN() {
    ReadSerialRequest request;
    request.type = view_.cbDevType().text();
    request.path = view_.cbDevPath().text();
    request.speed = view_.cbDevSpeed().intValue();
    request.logicalID = view_.textLogID().intValue();
    runPrinterAction(
        FillIn(WindowText("Tallix", "Reading the serial number on %1…"), {request.path}),
        [request, factory = deviceFactory_](const DetectionControl& control) {
            return ReadSerialNumber(request, factory, control);
        },
        [this, port = request.path](const PrinterOutcome& outcome) {
            if (!showFailure(outcome) && outcome.serialNumber) {
                view_.cbDevSN().setText(*outcome.serialNumber);
                view_.showStatus(FillIn(WindowText("Tallix", "Serial number %1 read on %2"),
                                        {*outcome.serialNumber, port}));
            }
        });
}

bool TallixMacAppDelegate::storeShownEntry() {
    DeviceEntry entry;
    entry.type = view_.cbDevType().text();
    entry.country = view_.cbDevCountry().text();
    entry.key = view_.keyField().text();
    entry.serialNumber = view_.cbDevSN().text();
    entry.path = view_.cbDevPath().text();
    entry.speed = view_.cbDevSpeed().text();
    entry.logicalID = view_.textLogID().text();

    const Preferences preferences;
    if (!reportFileChange(preferences.storeEntry(entry))) {
        return false;  // the controls stay as they were
    }
    // The list as the file now holds it, so a newly stored entry is offered at once.
    ComboControl& serialNumbers = view_.cbDevSN();
    serialNumbers.removeAllItems();
    if (const PreferencesDocument document = preferences.read()) {
        serialNumbers.addItems(SerialNumbers(*document));
    }
    serialNumbers.setText(entry.serialNumber);
    return true;
}

void TallixMacAppDelegate::pressedAddDevice() {
    if (storeShownEntry()) {
        view_.showStatus(FillIn(WindowText("Tallix", "Stored the device entry of %1"),
                                {view_.cbDevSN().text()}));
    }
}

void TallixMacAppDelegate::pressedSetDefault() {
    if (!storeShownEntry()) {
        return;
    }
    const std::string key = view_.keyField().text();
    const FileChange change = Preferences().setDefault(key);
    if (!reportFileChange(change)) {
        return;
    }
    if (!change.written) {
        view_.showStatus(
            FillIn(WindowText("Tallix",
                              "Stored the device entry of %1; the preferences file has no "
                              "DefaultKey element, so no default was recorded"),
                   {view_.cbDevSN().text()}));
    } else if (key.empty()) {
        view_.showStatus(
            WindowText("Tallix", "Stored the entry with the empty key as the default device"));
    } else {
        view_.showStatus(FillIn(WindowText("Tallix", "Stored %1 as the default device"), {key}));
    }
}

void TallixMacAppDelegate::pressedTest() {
    TestRequest request;
    request.path = view_.cbDevPath().text();
    request.speed = view_.cbDevSpeed().intValue();
    request.logicalID = view_.stepLogID().intValue();
    runPrinterAction(
        FillIn(WindowText("Tallix", "Printing the test report on %1…"), {request.path}),
        [request, factory = deviceFactory_](const DetectionControl& control) {
            return PrintTestReport(request, factory, control);
        },
        [this, port = request.path](const PrinterOutcome& outcome) {
            if (!showFailure(outcome)) {
                view_.showStatus(FillIn(WindowText("Tallix", "Test report printed on %1"), {port}));
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
    view_.showStatus(
        FillIn(WindowText("Tallix", "Found the printer on %1 at %2 baud, logical ID %3"),
               {printer.port, std::to_string(printer.speed), std::to_string(printer.logicalID)}));
}

FindPrinterRequest TallixMacAppDelegate::findRequest() const {
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
    if (const PreferencesDocument document = Preferences().read()) {
        if (const std::optional<DeviceEntry> entry = DefaultEntry(*document)) {
            request.firstIDs.push_back(ParseLeadingInt(entry->logicalID));
        }
    }
    return request;
}

void TallixMacAppDelegate::pressedFindPrinter() {
    findPrinters(findRequest());
}

void TallixMacAppDelegate::findPrinters(const FindPrinterRequest& request) {
    runPrinterAction(
        request.otherIDs ? WindowText("Tallix", "Looking for the printer with every logical ID…")
                         : WindowText("Tallix", "Looking for the printer on every port…"),
        [request](const DetectionControl& control) { return FindPrinters(request, control); },
        [this, request](const PrinterOutcome& outcome) { foundPrinters(request, outcome); });
}

void TallixMacAppDelegate::choosePrinter(const std::vector<DetectedPrinter>& printers) {
    std::optional<std::size_t> chosen;
    if (printers.size() == 1) {
        chosen = 0;
    } else {
        std::vector<std::string> descriptions;
        descriptions.reserve(printers.size());
        for (const DetectedPrinter& p : printers) {
            descriptions.push_back(FillIn(
                WindowText("Tallix", "%1 \u2014 %2 baud, logical ID %3, serial number %4"),
                {p.port, std::to_string(p.speed), std::to_string(p.logicalID), p.serialNumber}));
        }
        chosen = view_.choosePrinter(descriptions);
    }
    if (chosen && *chosen < printers.size()) {
        showPrinter(printers[*chosen]);
    } else {
        view_.showStatus(WindowText("Tallix", "No printer chosen; nothing changed"));
    }
}

void TallixMacAppDelegate::foundPrinters(const FindPrinterRequest& request,
                                         const PrinterOutcome& outcome) {
    if (outcome.cancelled && outcome.printers.empty()) {
        view_.showStatus(WindowText("Tallix", "Search cancelled; nothing changed"));
    } else if (!outcome.printers.empty()) {
        choosePrinter(outcome.printers);
    } else if (!request.otherIDs && outcome.portsSearched > 0 && offerOtherIDs(request, outcome)) {
        FindPrinterRequest every = request;
        every.otherIDs = true;
        findPrinters(every);
    } else {
        const std::string message = WindowText("Tallix", "No printer found.");
        view_.showStatus(message);
        view_.showAlert(Alert{AlertStyle::Warning, message, Lines(outcome.portProblems)});
    }
}

bool TallixMacAppDelegate::offerOtherIDs(const FindPrinterRequest& request,
                                         const PrinterOutcome& outcome) {
    std::vector<int> tried;
    for (const ProbeStep& step : DetectionPlan(request.firstIDs, false)) {
        if (std::find(tried.begin(), tried.end(), step.logicalID) == tried.end()) {
            tried.push_back(step.logicalID);
        }
    }
    const double seconds =
        static_cast<double>(OtherIDsPlan(request.firstIDs).size()) * kUnansweredProbeSeconds;
    const int minutes = std::max(1, static_cast<int>(std::lround(seconds / 60.0)));
    std::string detail =
        FillIn(WindowText("Tallix",
                          "Searching every logical ID from 0 to 99 takes about %1 minutes "
                          "when no printer answers. You can cancel it."),
               {std::to_string(minutes)});
    if (!outcome.portProblems.empty()) {
        detail += "\n\n" + Lines(outcome.portProblems);
    }
    return view_.confirm(Alert{
        AlertStyle::Warning,
        FillIn(WindowText("Tallix",
                          "No printer answered with the logical IDs %1. Search every logical ID?"),
               {ListOfIDs(tried)}),
        detail});
}

}  // namespace tallix
