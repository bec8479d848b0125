#pragma once

// The set-up window's controller. Every action reads what it needs from the controls and
// from the preferences file at that moment; the controller keeps nothing of its own between
// actions. Printer actions open the printer, work and close it within the one action.

#include <functional>
#include <string>
#include <vector>

#include "setup/ActionRunner.h"
#include "setup/PrinterActions.h"
#include "setup/SetupView.h"

namespace tallix {

struct DeviceEntry;

// The names of the serial ports, in the order port discovery lists them.
using PortLister = std::function<std::vector<std::string>()>;

// findRS232Ports and streamAtIndex on a fresh, bare CashRegManager. No port is opened.
std::vector<std::string> ListRS232Ports();

class TallixMacAppDelegate {
  public:
    // view and runner must outlive the controller. Without a runner, printer actions run in
    // place on the calling thread.
    explicit TallixMacAppDelegate(SetupView& view, ActionRunner* runner = nullptr,
                                  DeviceFactory deviceFactory = DefaultDeviceFactory(),
                                  PortLister portLister = ListRS232Ports);

    // Window start: prepares and reads the preferences file (writing the start-up document
    // when it cannot be read), lists the ports, shows the default entry and the stored
    // serial numbers, and shows btTest when the file has a DefaultKey element.
    void applicationDidFinishLaunching();

    void selectedDevice() {}
    void selectedCountry() {}
    void selectedPath() {}
    void selectedSpeed() {}
    // Shows the entry whose serial number is the text of cbDevSN, if one has it.
    void selectedSN();

    // Empties cbDevPath (text and items), then lists the ports.
    void pressedRefreshPath();
    // Reads the printer's serial number into cbDevSN.
    void pressedRefreshSN();
    // Stores the controls as a device entry and lists the stored serial numbers anew.
    void pressedAddDevice();
    // Add Device, then makes the key field's text the default key.
    void pressedSetDefault();
    // Prints the non-fiscal day report at 38400 baud with the stepper's logical ID.
    void pressedTest();
    // A critical alert with the text and one "OK" button.
    void displayError(const std::string& message);

    // A serial port appeared or went away: the items of cbDevPath are listed anew and its
    // text stays as the user left it.
    void portsChanged();

    // True from the start of a printer action until its outcome has been shown. Printer
    // actions asked for meanwhile are ignored.
    bool printerActionRunning() const { return printerActionRunning_; }

  private:
    void listPorts();
    void showEntry(const DeviceEntry& entry);
    void runPrinterAction(const std::string& busyText, ActionRunner::Work work,
                          ActionRunner::Done done);

    SetupView& view_;
    ImmediateRunner immediate_;
    ActionRunner& runner_;
    DeviceFactory deviceFactory_;
    PortLister portLister_;
    bool printerActionRunning_ = false;
};

}  // namespace tallix
