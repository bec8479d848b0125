#pragma once

// The set-up window's controller. Every action reads what it needs from the controls and
// from the preferences file at that moment; the controller keeps nothing of its own between
// actions. Printer actions open the printer, work and close it within the one action.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/ActionRunner.h"
#include "setup/PortChoices.h"
#include "setup/PrinterActions.h"
#include "setup/SetupView.h"

namespace tallix {

struct DeviceEntry;
struct FileChange;

// The serial ports, in the order port discovery lists them, as the port box offers them.
using PortLister = std::function<std::vector<ComboItem>()>;

class TallixMacAppDelegate {
  public:
    // view and runner must outlive the controller. Without a runner, printer actions run in
    // place on the calling thread.
    explicit TallixMacAppDelegate(SetupView& view, ActionRunner* runner = nullptr,
                                  DeviceFactory deviceFactory = VX37ROFactory(),
                                  PortLister portLister = ListPortChoices);

    // Window start: prepares and reads the preferences file (writing the start-up document
    // when it cannot be read, after keeping an unreadable one beside it and saying so), lists
    // the ports, shows the default entry and the stored serial numbers, and shows btTest when
    // the file has a DefaultKey element.
    void applicationDidFinishLaunching();

    void selectedDevice() {}
    void selectedCountry() {}
    // A port picked from the list: its by-id link (else its name) becomes the port text.
    void selectedPath();
    void selectedSpeed() {}
    // Shows the entry whose serial number is the text of cbDevSN, if one has it.
    void selectedSN();

    // Empties cbDevPath (text and items), then lists the ports.
    void pressedRefreshPath();
    // Reads the printer's serial number into cbDevSN.
    void pressedRefreshSN();
    // Stores the controls as a device entry and lists the stored serial numbers anew. A file
    // that cannot be written is told in an alert with the reason; the controls stay.
    void pressedAddDevice();
    // Add Device, then makes the key field's text the default key.
    void pressedSetDefault();
    // Prints the non-fiscal day report at the speed shown with the stepper's logical ID.
    void pressedTest();
    // Looks for a printer on every listed port (and on the port text when it names another)
    // at every speed, with the shown logical ID, the default entry's, 1 and 0; when none
    // answers, offers to try every other logical ID. A printer found fills port, speed,
    // logical ID and serial number; with several the user chooses. Nothing is stored.
    void pressedFindPrinter();
    // A critical alert with the text and one "OK" button.
    void displayError(const std::string& message);

    // A serial port appeared or went away: the items of cbDevPath are listed anew and its
    // text stays as the user left it.
    void portsChanged();

    // True from the start of a printer action until its outcome has been shown. Printer
    // actions asked for meanwhile are ignored.
    bool printerActionRunning() const { return printerActionRunning_; }

  private:
    // Appends the ports to cbDevPath; their number.
    int listPorts();
    void showEntry(const DeviceEntry& entry);
    // Alerts for a kept unreadable file and for a failed write; false when it failed.
    bool reportFileChange(const FileChange& change);
    // Add Device without its status line; false when nothing was stored.
    bool storeShownEntry();
    // Runs work unless a printer action runs already.
    void runPrinterAction(const std::string& busyText, ActionRunner::Work work,
                          ActionRunner::Done done);
    bool showFailure(const PrinterOutcome& outcome);
    FindPrinterRequest findRequest() const;
    void findPrinters(const FindPrinterRequest& request);
    void foundPrinters(const FindPrinterRequest& request, const PrinterOutcome& outcome);
    bool offerOtherIDs(const FindPrinterRequest& request, const PrinterOutcome& outcome);
    void choosePrinter(const std::vector<DetectedPrinter>& printers);
    void showPrinter(const DetectedPrinter& printer);

    SetupView& view_;
    ImmediateRunner immediate_;
    ActionRunner& runner_;
    DeviceFactory deviceFactory_;
    PortLister portLister_;
    bool printerActionRunning_ = false;
};

}  // namespace tallix
