// The set-up window itself on the offscreen platform: what the controls show, how they are
// tied, and printer actions that run while the event loop goes on.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <string>

#include "device/VX37RO.h"
#include "setup/PortWatcher.h"
#include "tests/setup/WindowFixture.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix::test {
namespace {

const char* const kPrepared = R"(<Data Version="1.0">
    <DefaultKey>shop</DefaultKey>
    <Devices>
        <Device Type="VX-37" Country="RO" Key="other" SerialNumber="SN-1" Path="ttyS0" Speed="9600" LogicalID="1"/>
        <Device Type="VX-37" Country="MD" Key="shop" SerialNumber="SN-2" Path="ttyS9" Speed="57600" LogicalID="12"/>
    </Devices>
</Data>
)";

using WindowStart = WindowFixture;

TEST_F(WindowStart, PreparedFileFillsTheControls) {
    ASSERT_TRUE(home.writePreferences(kPrepared));
    ports = {"ttyS0", "ttyUSB0"};
    SetupWindow& w = open();

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tallix set-up"));
    EXPECT_FALSE(w.windowIcon().isNull());

    EXPECT_EQ(combo("cbDevType")->currentText(), "VX-37");
    EXPECT_EQ(items(combo("cbDevType")), QStringList{"VX-37"});
    EXPECT_EQ(combo("cbDevCountry")->currentText(), "MD");
    EXPECT_EQ(items(combo("cbDevCountry")), QStringList{"RO"});
    // The stored port is shown even though discovery did not list it.
    EXPECT_EQ(combo("cbDevPath")->currentText(), "ttyS9");
    EXPECT_EQ(items(combo("cbDevPath")), (QStringList{"ttyS0", "ttyUSB0"}));
    EXPECT_EQ(combo("cbDevSpeed")->currentText(), "57600");
    EXPECT_EQ(items(combo("cbDevSpeed")),
              (QStringList{"9600", "1200", "2400", "4800", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(child<QLineEdit>("textLogID")->text(), "12");
    EXPECT_EQ(child<Stepper>("stepLogID")->value(), 12);
    EXPECT_EQ(child<QLineEdit>("keyField")->text(), "shop");
    EXPECT_EQ(items(combo("cbDevSN")), (QStringList{"SN-1", "SN-2"}));
    EXPECT_EQ(combo("cbDevSN")->currentText(), "SN-2");
    EXPECT_TRUE(button("btTest")->isVisible());
    EXPECT_FALSE(w.busy());
}

TEST_F(WindowStart, FileWithoutDefaultKeyKeepsTestHiddenAndFreshStartShowsIt) {
    ASSERT_TRUE(home.writePreferences("<Data><Devices/></Data>"));
    open();
    EXPECT_FALSE(button("btTest")->isVisible());
    EXPECT_EQ(combo("cbDevSN")->currentText(), "");
    EXPECT_EQ(combo("cbDevSpeed")->currentText(), "9600");

    window.reset();
    TempHome fresh;
    open();
    EXPECT_TRUE(button("btTest")->isVisible());
    EXPECT_EQ(combo("cbDevType")->currentText(), "VX-37");
    EXPECT_EQ(combo("cbDevCountry")->currentText(), "RO");
    EXPECT_EQ(combo("cbDevPath")->currentText(), "");
}

TEST_F(WindowStart, ChoosingAStoredSerialNumberShowsItsEntry) {
    ASSERT_TRUE(home.writePreferences(kPrepared));
    open();
    QComboBox* sn = combo("cbDevSN");
    sn->setFocus();
    // Pick the first item from the list, as the user does with the keyboard.
    sn->showPopup();
    QTest::keyClick(sn->view(), Qt::Key_Home);
    QTest::keyClick(sn->view(), Qt::Key_Return);
    EXPECT_EQ(sn->currentText(), "SN-1");
    EXPECT_EQ(combo("cbDevPath")->currentText(), "ttyS0");
    EXPECT_EQ(combo("cbDevCountry")->currentText(), "RO");
    EXPECT_EQ(child<QLineEdit>("keyField")->text(), "other");
    EXPECT_EQ(child<Stepper>("stepLogID")->value(), 1);
}

using WindowControls = WindowFixture;

TEST_F(WindowControls, PortListChangesKeepTheTypedPort) {
    ports = {"ttyS0"};
    open();
    QComboBox* path = combo("cbDevPath");
    EXPECT_EQ(path->currentText(), "");  // items added to an empty box do not become its text

    path->setEditText("ttyUSB3");
    ports = {"ttyUSB0", "ttyUSB1"};
    window->controller().portsChanged();
    EXPECT_EQ(path->currentText(), "ttyUSB3");
    EXPECT_EQ(items(path), (QStringList{"ttyUSB0", "ttyUSB1"}));

    QTest::mouseClick(button("btRefreshPath"), Qt::LeftButton);
    EXPECT_EQ(path->currentText(), "");
    EXPECT_EQ(items(path), (QStringList{"ttyUSB0", "ttyUSB1"}));
}

TEST_F(WindowControls, HotPlugNoticeRelistsThePorts) {
    ports = {"ttyS0"};
    SetupWindow& w = open({}, true);
    if (!w.watchingPorts()) {
        GTEST_SKIP() << "this machine gives no device notices";
    }
    auto* watcher = w.findChild<PortWatcher*>();
    ASSERT_NE(watcher, nullptr);
    combo("cbDevPath")->setEditText("ttyACM");
    ports = {"ttyS0", "ttyACM0"};
    emit watcher->portsChanged();  // as a notice from the port registry does
    EXPECT_EQ(items(combo("cbDevPath")), (QStringList{"ttyS0", "ttyACM0"}));
    EXPECT_EQ(combo("cbDevPath")->currentText(), "ttyACM");
}

TEST_F(WindowControls, LogicalIDFieldAndStepperShowOneNumberFrom0To99) {
    open();
    auto* field = child<QLineEdit>("textLogID");
    auto* stepper = child<Stepper>("stepLogID");

    field->selectAll();
    QTest::keyClicks(field, "427");  // two digits at most
    EXPECT_EQ(field->text(), "42");
    EXPECT_EQ(stepper->value(), 42);

    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(field->text(), "43");
    EXPECT_EQ(stepper->value(), 43);

    const QList<QToolButton*> arrows = stepper->findChildren<QToolButton*>();
    ASSERT_EQ(arrows.size(), 2);
    QToolButton* down = arrows[0]->arrowType() == Qt::DownArrow ? arrows[0] : arrows[1];
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(field->text(), "42");

    QTest::keyClicks(field, "x-");  // not digits: refused
    EXPECT_EQ(field->text(), "42");

    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(stepper->value(), 42);  // an empty field leaves the stepper as it was
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), "42");  // and gets its number back when editing ends

    window->textLogID().setIntValue(250);
    window->stepLogID().setIntValue(250);
    EXPECT_EQ(field->text(), "250") << "a value set by the program is shown whole";
    EXPECT_EQ(stepper->value(), 99);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(stepper->value(), 99);
}

TEST_F(WindowControls, AddDeviceStoresWhatTheControlsShow) {
    open();
    combo("cbDevPath")->setEditText("ttyUSB0");
    combo("cbDevSN")->setEditText("SN-NEW");
    child<QLineEdit>("keyField")->setText("front desk");
    QTest::mouseClick(button("btSetDefault"), Qt::LeftButton);

    EXPECT_EQ(items(combo("cbDevSN")), QStringList{"SN-NEW"});
    EXPECT_EQ(combo("cbDevSN")->currentText(), "SN-NEW");
    const std::string stored = home.readPreferences();
    EXPECT_NE(stored.find("<DefaultKey>front desk</DefaultKey>"), std::string::npos) << stored;
    EXPECT_NE(stored.find(R"(Speed="9600")"), std::string::npos) << stored;
    EXPECT_NE(stored.find(R"(LogicalID="1")"), std::string::npos) << stored;
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(child<QLabel>("status")->text(), "Stored front desk as the default device");
}

TEST_F(WindowStart, AnUnparseableFileIsKeptAndTheAlertNamesIt) {
    // One stray character: every entry would be lost if the file were replaced.
    std::string typo = kPrepared;
    typo.insert(typo.find("<Devices>") + 9, "<");
    ASSERT_TRUE(home.writePreferences(typo));
    open();
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_TRUE(alerts[0].onMainThread);
    const std::string prefix = "The preferences file could not be read. It was kept as ";
    ASSERT_EQ(alerts[0].message.rfind(prefix, 0), 0U) << alerts[0].message;
    const std::string kept = alerts[0].message.substr(
        prefix.size(), alerts[0].message.find(" and a new") - prefix.size());
    EXPECT_EQ(kept.rfind(home.preferencesFile() + ".broken-", 0), 0U) << kept;
    EXPECT_EQ(TempDir::ReadFile(kept), typo);
    EXPECT_NE(home.readPreferences(), typo) << "replaced by the start-up document";
}

TEST_F(WindowControls, AnUnwritableFolderIsToldAndTheControlsStay) {
    // A regular file where the Library folder should be: writes fail, for root as well.
    ASSERT_TRUE(TempDir::WriteFile(home.path() + "/Library", "not a folder"));
    open();
    alerts.clear();
    combo("cbDevSN")->setEditText("SN-NEW");
    QTest::mouseClick(button("btSetDefault"), Qt::LeftButton);
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].style, AlertStyle::Critical);
    EXPECT_EQ(alerts[0].message, "The preferences file could not be written.");
    EXPECT_NE(alerts[0].informativeText.find("Not a directory"), std::string::npos)
        << alerts[0].informativeText;
    EXPECT_EQ(child<QLabel>("status")->text(), "The preferences file could not be written.");
    EXPECT_EQ(items(combo("cbDevSN")), QStringList{});
    EXPECT_EQ(combo("cbDevSN")->currentText(), "SN-NEW");
    EXPECT_EQ(TempDir::ReadFile(home.path() + "/Library"), "not a folder");
}

TEST_F(WindowControls, StoredLogicalIDAboveTheRangeIsShownAndStoredAsItIs) {
    ASSERT_TRUE(home.writePreferences(R"(<Data><DefaultKey>k</DefaultKey><Devices>
        <Device Type="VX-37" Country="RO" Key="k" SerialNumber="SN-9" Path="ttyS0" Speed="9600" LogicalID="123"/>
        </Devices></Data>)"));
    open();
    EXPECT_EQ(child<QLineEdit>("textLogID")->text(), "123");
    EXPECT_EQ(child<Stepper>("stepLogID")->value(), 99);
    QTest::mouseClick(button("btAddDevice"), Qt::LeftButton);
    const std::string stored = home.readPreferences();
    EXPECT_NE(stored.find(R"(LogicalID="123")"), std::string::npos) << stored;
}

using WindowPrinter = WindowFixture;

TEST_F(WindowPrinter, SerialNumberArrivesWhileTheEventLoopRuns) {
    // Each answer comes late, so the action lasts long enough to be seen at work.
    SimProcess sim({"--serial", "RO87654321", "--delay-ms", "150"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(home.writePreferences(
        std::string(
            R"(<Data><DefaultKey/><Devices><Device Type="VX-37" Key="" SerialNumber="" Path=")") +
        sim.path() + R"(" Speed="9600" LogicalID="1"/></Devices></Data>)"));
    SetupWindow& w = open();

    int ticksWhileBusy = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksWhileBusy += w.busy() ? 1 : 0; });
    ticker.start(5);

    QTest::mouseClick(button("btRefreshSN"), Qt::LeftButton);
    // The click has returned before the printer answered.
    EXPECT_TRUE(w.busy());
    EXPECT_EQ(combo("cbDevSN")->currentText(), "");
    EXPECT_FALSE(button("btAddDevice")->isEnabled());
    EXPECT_FALSE(combo("cbDevPath")->isEnabled());
    EXPECT_TRUE(child<QProgressBar>("busyBar")->isVisible());
    EXPECT_FALSE(child<QLabel>("status")->text().isEmpty());

    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 20000));
    EXPECT_EQ(combo("cbDevSN")->currentText(), "RO87654321");
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_TRUE(button("btAddDevice")->isEnabled());
    EXPECT_FALSE(child<QProgressBar>("busyBar")->isVisible());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(WindowPrinter, TestRunsAtTheSpeedShownAndSaysItPrinted) {
    SimProcess sim({"--baud", "19200"});
    ASSERT_TRUE(sim.ready());
    open();
    combo("cbDevPath")->setEditText(QString::fromStdString(sim.path()));
    combo("cbDevSpeed")->setEditText("19200");
    QTest::mouseClick(button("btTest"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->busy(); }, 20000));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(child<QLabel>("status")->text().toStdString(),
              "Test report printed on " + sim.path());
    EXPECT_EQ(sim.executedCommands(), std::vector<std::string>{"A;;;X;"});
}

TEST_F(WindowPrinter, CancelStopsATestThatWaitsForAPrinterAndClosesThePort) {
    SimProcess sim({"--mute"});
    ASSERT_TRUE(sim.ready());
    open();
    combo("cbDevPath")->setEditText(QString::fromStdString(sim.path()));
    QTest::mouseClick(button("btTest"), Qt::LeftButton);
    ASSERT_TRUE(window->busy());
    EXPECT_TRUE(button("btCancel")->isVisible());
    // Once the printer has been asked, the wait is stopped.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim.journalLines().empty(); }, 10000));
    QTest::mouseClick(button("btCancel"), Qt::LeftButton);
    // Far less than the 42 s the link would otherwise wait.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->busy(); }, 10000));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(child<QLabel>("status")->text(), "Cancelled; the port is closed");
    VX37RO device;
    EXPECT_TRUE(device.Open(sim.path(), 9600)) << "the port is free again";
    device.Close();
}

TEST_F(WindowPrinter, TestErrorComesBackOnTheMainThread) {
    open();
    combo("cbDevPath")->setEditText(QString::fromStdString(home.path() + "/no-such-port"));
    ASSERT_TRUE(button("btTest")->isVisible());
    QTest::mouseClick(button("btTest"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.empty(); }, 10000));
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].style, AlertStyle::Critical);
    EXPECT_EQ(alerts[0].message, "Unable to open port");
    EXPECT_EQ(alerts[0].informativeText,
              "No such file or directory: check the port and that the printer is connected");
    EXPECT_TRUE(alerts[0].onMainThread);
}

TEST_F(WindowPrinter, AlertIsAMessageBoxWithOneOkButton) {
    open();
    window->setAlertHook(nullptr);  // the real message box this time
    combo("cbDevType")->setEditText("VX-37");
    combo("cbDevPath")->setEditText(QString::fromStdString(home.path() + "/no-such-port"));

    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        text = box->text();
        informative = box->informativeText();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons()) {
            buttons << b->text();
        }
        box->buttons().first()->click();
    });
    answer.start(0);

    QTest::mouseClick(button("btRefreshSN"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty() && !window->busy(); }, 10000));
    EXPECT_EQ(text, "Can not open the path specified");
    EXPECT_EQ(informative,
              "No such file or directory: check the port and that the printer is connected");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QStringList{"OK"});
}

}  // namespace
}  // namespace tallix::test
