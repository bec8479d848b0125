// Reading the serial number and the test report: which controls they read, how they talk to
// the printer (the virtual printer, or a device told to fail at one step), and every alert.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "serial/SerialManager.h"
#include "setup/TallixMacAppDelegate.h"
#include "tests/setup/FakeView.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempHome.h"

namespace tallix::test {
namespace {

using Calls = std::vector<std::string>;

// Holds the printer part of each action until the test lets it finish, like the window's
// worker thread does while it waits for the printer.
class HeldRunner : public ActionRunner {
  public:
    void run(const std::string& busyText, Work work, Done done) override {
        texts.push_back(busyText);
        work_ = std::move(work);
        done_ = std::move(done);
    }
    bool holding() const { return static_cast<bool>(work_); }
    void finish() {
        Work work = std::move(work_);
        Done done = std::move(done_);
        work_ = nullptr;
        done_ = nullptr;
        done(work(DetectionControl{}));
    }
    std::vector<std::string> texts;

  private:
    Work work_;
    Done done_;
};

class PrinterActions : public ::testing::Test {
  protected:
    PrinterActions() {
        view.type.value = "VX-37";
        view.path.value = "ttyFAKE";
        view.speed.value = "19200";
        view.logicalID.value = "3";
        view.stepper.value = 4;
        view.serial.value = "before";
    }

    TallixMacAppDelegate controller(ActionRunner* runner = nullptr) {
        return TallixMacAppDelegate(view, runner, script.factory(),
                                    [] { return std::vector<ComboItem>{}; });
    }

    std::vector<Alert> warning(const std::string& text) {
        return {Alert{AlertStyle::Warning, text, {}}};
    }
    std::vector<Alert> critical(const std::string& text) {
        return {Alert{AlertStyle::Critical, text, {}}};
    }

    TempHome home;
    FakeView view;
    DeviceScript script;
};

// --- Read the serial number ---------------------------------------------------------------

TEST_F(PrinterActions, ReadSerialUsesTheShownSpeedAndTheFieldsLogicalID) {
    auto c = controller();
    c.pressedRefreshSN();
    EXPECT_EQ(script.calls(),
              (Calls{"Open(ttyFAKE, 19200)", "Initialize(3)", "Oxel_GetSerial()", "Close()"}));
    EXPECT_EQ(script.released(), 1);
    EXPECT_EQ(view.serial.value, "AB12345678");
    EXPECT_TRUE(view.alerts.empty());
    // Only the serial number changes; the file is not touched.
    EXPECT_EQ(view.key.value, "");
    EXPECT_EQ(view.stepper.value, 4);
    EXPECT_EQ(home.readPreferences(), "");
}

TEST_F(PrinterActions, ReadSerialWithAnotherTypeOpensNothing) {
    for (const char* type : {"VX-37 ", "vx-37", "", "VX-38"}) {
        view.type.value = type;
        view.alerts.clear();
        auto c = controller();
        c.pressedRefreshSN();
        EXPECT_EQ(view.alerts, warning("Can not open the path specified")) << type;
    }
    EXPECT_EQ(script.created(), 0);
    EXPECT_EQ(view.serial.value, "before");
}

TEST_F(PrinterActions, ReadSerialFailuresWarnAndCloseWhatWasOpened) {
    struct Row {
        const char* step;  // the call that fails
        const char* message;
        Calls calls;
    };
    const std::vector<Row> rows = {
        {"Open", "Can not open the path specified", {"Open(ttyFAKE, 19200)"}},
        {"Initialize",
         "Can not connect to the device.",
         {"Open(ttyFAKE, 19200)", "Initialize(3)", "Close()"}},
        {"Oxel_GetSerial",
         "Device not responding.",
         {"Open(ttyFAKE, 19200)", "Initialize(3)", "Oxel_GetSerial()", "Close()"}},
    };
    for (const Row& row : rows) {
        DeviceScript failed;
        failed.failing = {row.step};
        view.alerts.clear();
        TallixMacAppDelegate c(view, nullptr, failed.factory(),
                               [] { return std::vector<ComboItem>{}; });
        c.pressedRefreshSN();
        // A port that cannot be opened and a printer that gave no answer have the reason
        // under the alert.
        std::string why;
        if (std::string(row.step) == "Open") {
            why = failed.openFailure.text();
        } else if (std::string(row.step) == "Oxel_GetSerial") {
            why = "No answer: check the printer is on, the speed and the logical ID";
        }
        EXPECT_EQ(view.alerts, (std::vector<Alert>{{AlertStyle::Warning, row.message, why}}));
        EXPECT_EQ(failed.calls(), row.calls) << row.message;
        EXPECT_EQ(failed.released(), 1) << row.message;
        EXPECT_EQ(view.serial.value, "before") << row.message;
    }
}

// --- Test report ----------------------------------------------------------------------------

TEST_F(PrinterActions, TestRunsAtTheSpeedShownWithTheSteppersLogicalIDWhateverTheType) {
    view.type.value = "something else";
    auto c = controller();
    c.pressedTest();
    EXPECT_EQ(script.calls(), (Calls{"Open(ttyFAKE, 19200)", "Initialize(4)", "Oxel_GetSerial()",
                                     "Report_NonFiscalDay()", "Close()"}));
    EXPECT_EQ(script.released(), 1);
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(view.serial.value, "before");  // the serial number read is not shown
}

TEST_F(PrinterActions, TestFailuresShowCriticalErrors) {
    struct Row {
        const char* step;  // the call that fails
        const char* message;
        Calls calls;
    };
    const std::vector<Row> rows = {
        {"Open", "Unable to open port", {"Open(ttyFAKE, 19200)"}},
        {"Initialize",
         "Unable to initialize device",
         {"Open(ttyFAKE, 19200)", "Initialize(4)", "Close()"}},
        {"Oxel_GetSerial",
         "Connection lost",
         {"Open(ttyFAKE, 19200)", "Initialize(4)", "Oxel_GetSerial()", "Close()"}},
        {"Report_NonFiscalDay",
         "Command failed",
         {"Open(ttyFAKE, 19200)", "Initialize(4)", "Oxel_GetSerial()", "Report_NonFiscalDay()",
          "Close()"}},
    };
    for (const Row& row : rows) {
        DeviceScript failed;
        failed.failing = {row.step};
        view.alerts.clear();
        TallixMacAppDelegate c(view, nullptr, failed.factory(),
                               [] { return std::vector<ComboItem>{}; });
        c.pressedTest();
        // Only a port that cannot be opened has the device's reason under its alert.
        std::string why;
        if (std::string(row.step) == "Open") {
            why = failed.openFailure.text();
        } else if (std::string(row.step) == "Oxel_GetSerial") {
            why = "No answer: check the printer is on, the speed and the logical ID";
        }
        EXPECT_EQ(view.alerts, (std::vector<Alert>{{AlertStyle::Critical, row.message, why}}));
        EXPECT_EQ(failed.calls(), row.calls) << row.message;
        EXPECT_EQ(failed.released(), 1) << row.message;
    }
}

TEST_F(PrinterActions, DisplayErrorIsACriticalAlert) {
    auto c = controller();
    c.displayError("Anything at all");
    EXPECT_EQ(view.alerts, critical("Anything at all"));
}

TEST_F(PrinterActions, PortThatDoesNotExistCannotBeOpenedAndTheAlertSaysWhy) {
    // The plain device object, no recording: a real failure to open.
    view.path.value = home.path() + "/no-such-port";
    TallixMacAppDelegate c(view, nullptr, VX37ROFactory(), [] { return std::vector<ComboItem>{}; });
    c.pressedRefreshSN();
    c.pressedTest();
    const std::string why =
        "No such file or directory: check the port and that the printer is connected";
    EXPECT_EQ(view.alerts,
              (std::vector<Alert>{{AlertStyle::Warning, "Can not open the path specified", why},
                                  {AlertStyle::Critical, "Unable to open port", why}}));
}

TEST_F(PrinterActions, APortInUseOrAFileGiveTheirOwnReasons) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    SerialManager holder;  // a batch run on the same printer
    ASSERT_GE(holder.open(sim.path(), 9600, 8, 0, 1), 0);
    const std::string file = home.path() + "/receipt.txt";
    ASSERT_TRUE(TempDir::WriteFile(file, "48;1\n"));

    TallixMacAppDelegate c(view, nullptr, VX37ROFactory(), [] { return std::vector<ComboItem>{}; });
    for (const std::string& path : {sim.path(), file}) {
        view.path.value = path;
        c.pressedTest();
    }
    ASSERT_EQ(view.alerts.size(), 2U);
    // The holder is this process.
    std::string name;
    std::getline(std::ifstream("/proc/self/comm"), name);
    EXPECT_EQ(view.alerts[0].informativeText,
              "Port in use by " + name + " (process " + std::to_string(getpid()) + ")");
    EXPECT_EQ(view.status(), "Unable to open port");
    EXPECT_EQ(view.alerts[1].informativeText,
              "Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)");
    EXPECT_EQ(sim.executedCommands(), std::vector<std::string>{});  // nothing reached it
}

// --- One action at a time -------------------------------------------------------------------

TEST_F(PrinterActions, ControlsAreReadWhenTheActionStartsAndTheOutcomeShownWhenItEnds) {
    HeldRunner runner;
    auto c = controller(&runner);
    c.pressedRefreshSN();
    ASSERT_TRUE(runner.holding());
    EXPECT_TRUE(c.printerActionRunning());
    EXPECT_EQ(runner.texts.size(), 1U);

    // Changes made while the printer works do not reach it; a second action is refused.
    view.path.value = "changed";
    view.speed.value = "1200";
    c.pressedTest();
    c.pressedRefreshSN();
    EXPECT_EQ(runner.texts.size(), 1U);
    EXPECT_EQ(view.serial.value, "before");

    runner.finish();
    EXPECT_FALSE(c.printerActionRunning());
    EXPECT_EQ(view.serial.value, "AB12345678");
    EXPECT_EQ(script.calls().front(), "Open(ttyFAKE, 19200)");

    c.pressedTest();
    ASSERT_TRUE(runner.holding());
    runner.finish();
    EXPECT_EQ(script.created(), 2);
}

// --- Against the virtual printer --------------------------------------------------------------

class PrinterActionsWithSim : public PrinterActions {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ready()) << "tallix-sim did not start";
        script.forwardTo = VX37ROFactory();
        view.path.value = sim.path();
        view.speed.value = "19200";
        view.logicalID.value = "7";
        view.stepper.value = 7;
    }

    // A printer set to 19200 baud, as the speed box shows.
    SimProcess sim{{"--serial", "RO12345678", "--logical-id", "7", "--baud", "19200"}};
};

TEST_F(PrinterActionsWithSim, ReadSerialShowsThePrintersSerialNumber) {
    auto c = controller();
    c.pressedRefreshSN();
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(view.serial.value, "RO12345678");
    EXPECT_EQ(view.status(), "Serial number RO12345678 read on " + sim.path());
    EXPECT_EQ(script.calls().front(), "Open(" + sim.path() + ", 19200)");
    // Reading the serial number executes nothing on the printer.
    EXPECT_TRUE(sim.executedCommands().empty());
}

TEST_F(PrinterActionsWithSim, TestPrintsTheNonFiscalDayReportAtTheSpeedShown) {
    auto c = controller();
    c.pressedTest();
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(view.status(), "Test report printed on " + sim.path());
    EXPECT_EQ(script.calls().front(), "Open(" + sim.path() + ", 19200)");
    const std::vector<std::string> executed = sim.executedCommands();
    EXPECT_EQ(executed, std::vector<std::string>{"A;;;X;"});
    EXPECT_FALSE(sim.paper().empty());
}

}  // namespace
}  // namespace tallix::test
