// The window's part in finding the printer: described ports, and Find Printer running in the
// background with a progress bar and a Cancel button.

#include <QAbstractItemView>
#include <QTimer>
#include <algorithm>
#include <string>

#include "tests/setup/WindowFixture.h"
#include "tests/support/SimProcess.h"

namespace tallix::test {
namespace {

const char* const kByIdLink = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";

using WindowFind = WindowFixture;

TEST_F(WindowFind, PortsAreDescribedAndPickingOnePutsItsByIdLink) {
    portItems = {{"ttyUSB0 \u2014 FTDI FT232R (A1B2C3)", kByIdLink}};
    ports = {"ttyS0"};
    open();
    QComboBox* path = combo("cbDevPath");
    EXPECT_EQ(items(path), (QStringList{"ttyUSB0 \u2014 FTDI FT232R (A1B2C3)", "ttyS0"}));

    path->showPopup();
    QTest::keyClick(path->view(), Qt::Key_Home);
    QTest::keyClick(path->view(), Qt::Key_Return);
    EXPECT_EQ(path->currentText(), kByIdLink);

    path->showPopup();
    QTest::keyClick(path->view(), Qt::Key_End);
    QTest::keyClick(path->view(), Qt::Key_Return);
    EXPECT_EQ(path->currentText(), "ttyS0");

    // Typing still works as before.
    path->setEditText("/dev/ttyUSB7");
    EXPECT_EQ(path->currentText(), "/dev/ttyUSB7");
}

TEST_F(WindowFind, FindPrinterFillsTheControlsWhileTheWindowStaysResponsive) {
    SimProcess printer({"--serial", "RO55555555", "--logical-id", "0", "--baud", "57600"});
    SimProcess dead({"--mute"});
    ASSERT_TRUE(printer.ready() && dead.ready());
    ports = {dead.path(), printer.path()};
    SetupWindow& w = open();
    const std::string before = home.readPreferences();

    int ticksWhileBusy = 0;
    int largestValue = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (w.busy()) {
            ++ticksWhileBusy;
            largestValue = std::max(largestValue, child<QProgressBar>("busyBar")->value());
        }
    });
    ticker.start(5);

    QTest::mouseClick(button("btFindPrinter"), Qt::LeftButton);
    EXPECT_TRUE(w.busy());
    EXPECT_TRUE(child<QProgressBar>("busyBar")->isVisible());
    EXPECT_TRUE(button("btCancel")->isVisible());
    EXPECT_FALSE(button("btAddDevice")->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(combo("cbDevPath")->currentText(), QString::fromStdString(printer.path()));
    EXPECT_EQ(combo("cbDevSpeed")->currentText(), "57600");
    EXPECT_EQ(child<QLineEdit>("textLogID")->text(), "0");
    EXPECT_EQ(child<Stepper>("stepLogID")->value(), 0);
    EXPECT_EQ(combo("cbDevSN")->currentText(), "RO55555555");
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_GT(largestValue, 0) << "the bar moved";
    EXPECT_FALSE(button("btCancel")->isVisible());
    EXPECT_TRUE(button("btAddDevice")->isEnabled());
    EXPECT_EQ(home.readPreferences(), before) << "nothing is stored until Add Device";
}

TEST_F(WindowFind, APrinterAtAnotherLogicalIDIsFoundWhenTheUserAsksForEveryID) {
    SimProcess printer({"--serial", "RO4410020", "--logical-id", "6", "--baud", "19200"});
    ASSERT_TRUE(printer.ready());
    ports = {printer.path()};
    SetupWindow& w = open();
    std::vector<Alert> questions;
    w.setQuestionHook([&](const Alert& question) {
        questions.push_back(question);
        return true;
    });
    QTest::mouseClick(button("btFindPrinter"), Qt::LeftButton);
    QLabel* status = child<QLabel>("status");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy() && !questions.empty(); }, 120000));
    EXPECT_TRUE(alerts.empty());
    ASSERT_EQ(questions.size(), 1U);
    EXPECT_EQ(questions[0].message,
              "No printer answered with the logical IDs 1 and 0. Search every logical ID?");
    EXPECT_EQ(status->text().toStdString(),
              "Found the printer on " + printer.path() + " at 19200 baud, logical ID 6");
    EXPECT_EQ(combo("cbDevSpeed")->currentText(), "19200");
    EXPECT_EQ(child<QLineEdit>("textLogID")->text(), "6");
    EXPECT_EQ(combo("cbDevSN")->currentText(), "RO4410020");
    EXPECT_TRUE(printer.executedCommands().empty());
}

TEST_F(WindowFind, CancelStopsTheSearchAndChangesNothing) {
    SimProcess dead({"--mute"});
    ASSERT_TRUE(dead.ready());
    ports = {dead.path()};
    SetupWindow& w = open();
    const QString shownPort = combo("cbDevPath")->currentText();

    QTest::mouseClick(button("btFindPrinter"), Qt::LeftButton);
    ASSERT_TRUE(w.busy());
    QTest::mouseClick(button("btCancel"), Qt::LeftButton);
    EXPECT_FALSE(button("btCancel")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 5000));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(combo("cbDevPath")->currentText(), shownPort);

    int wakeUps = 0;
    for (const auto& entry : dead.journalLines()) {
        wakeUps += entry.kind() == "wakeup" ? 1 : 0;
    }
    EXPECT_LE(wakeUps, 2) << "the search stopped at once";
    EXPECT_EQ(child<QLabel>("status")->text(), "Search cancelled; nothing changed");
}

}  // namespace
}  // namespace tallix::test
