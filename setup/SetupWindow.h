#pragma once

// The set-up window: the controls that TallixMacAppDelegate drives, laid out as a small
// desktop form, with a status line that says what the last action did. Printer actions run
// on a worker thread while the window shows their progress, offers Cancel and keeps
// repainting; their outcome comes back on the main thread. Its texts are in the language
// of the translations installed in the application (see Translations.h).

#include <QList>
#include <QPointer>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "setup/ActionRunner.h"
#include "setup/PrinterActions.h"
#include "setup/QtControls.h"
#include "setup/SetupView.h"
#include "setup/TallixMacAppDelegate.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tallix {

class PortWatcher;
class Stepper;

class SetupWindow : public QWidget, public SetupView, public ActionRunner {
    Q_OBJECT

  public:
    static constexpr int kLogicalIDMin = 0;
    static constexpr int kLogicalIDMax = 99;  // two digits go to the printer
    static constexpr int kLogicalIDTypedLength = 2;

    struct Options {
        DeviceFactory deviceFactory = VX37ROFactory();
        PortLister portLister = ListPortChoices;
        bool watchPorts = true;  // follow hot-plug notices when the machine gives them
    };

    // Shows instead of the message box; for tests and pictures.
    using AlertHook = std::function<void(const Alert& alert)>;
    // Answers instead of the question box; for tests.
    using QuestionHook = std::function<bool(const Alert& question)>;

    SetupWindow();
    explicit SetupWindow(Options options, QWidget* parent = nullptr);
    ~SetupWindow() override;

    // Fills the controls from the preferences file and starts following the ports.
    void start();

    // Answers instead of the dialog that lets the user choose among printers found; for tests.
    using ChoiceHook = std::function<std::optional<std::size_t>(const std::vector<std::string>&)>;

    void setAlertHook(AlertHook hook) { alertHook_ = std::move(hook); }
    void setChoiceHook(ChoiceHook hook) { choiceHook_ = std::move(hook); }
    void setQuestionHook(QuestionHook hook) { questionHook_ = std::move(hook); }
    bool busy() const { return busy_; }
    bool watchingPorts() const;
    TallixMacAppDelegate& controller() { return *controller_; }

    // SetupView
    ComboControl& cbDevType() override { return typeControl_; }
    ComboControl& cbDevCountry() override { return countryControl_; }
    ComboControl& cbDevPath() override { return pathControl_; }
    ComboControl& cbDevSpeed() override { return speedControl_; }
    ComboControl& cbDevSN() override { return serialControl_; }
    TextControl& keyField() override { return keyControl_; }
    TextControl& textLogID() override { return logicalIDControl_; }
    StepperControl& stepLogID() override { return stepperControl_; }
    ButtonControl& btTest() override { return testControl_; }
    void showAlert(const Alert& alert) override;
    bool confirm(const Alert& question) override;
    void showStatus(const std::string& text) override;
    std::optional<std::size_t> choosePrinter(const std::vector<std::string>& printers) override;

    // ActionRunner: work on the window's worker thread with a progress bar that fills as the
    // work reports and a Cancel button; done back here.
    void run(const std::string& busyText, Work work, Done done) override;

  signals:
    // Emitted from the working threads; the bar follows on the main thread.
    void progressed(int done, int total);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void setUpControls();
    void buildLayout();
    QGroupBox* buildPrinterBox();
    QGroupBox* buildEntryBox();
    // Side buttons and labels of both boxes in one width each, so the boxes line up.
    void alignColumns();
    void orderTabs();
    QLabel* addLabel(const QString& text, QWidget* buddy, QWidget* parent);
    void connectActions();
    void connectLogicalID();
    void setBusy(bool busy, const QString& text = {});
    // Runs work on the worker thread; done follows on the main thread, the window idle again.
    void runOnWorker(std::function<PrinterOutcome()> work, Done done);

    // Declared first: built before the adapters that point at them.
    QWidget* controls_;
    QComboBox* cbDevType_;
    QComboBox* cbDevCountry_;
    QComboBox* cbDevPath_;
    QComboBox* cbDevSpeed_;
    QComboBox* cbDevSN_;
    QLineEdit* keyField_;
    QLineEdit* textLogID_;
    Stepper* stepLogID_;
    QPushButton* btAddDevice_;
    QPushButton* btSetDefault_;
    QPushButton* btRefreshSN_;
    QPushButton* btRefreshPath_;
    QPushButton* btTest_;
    QPushButton* btFindPrinter_;
    QList<QLabel*> labels_;  // the labels of both boxes, in one column width
    QLabel* status_;
    QProgressBar* busyBar_;
    QPushButton* btCancel_;

    ComboBoxControl typeControl_;
    ComboBoxControl countryControl_;
    ComboBoxControl pathControl_;
    ComboBoxControl speedControl_;
    ComboBoxControl serialControl_;
    LineEditControl keyControl_;
    LogicalIDControl logicalIDControl_;
    StepperAdapter stepperControl_;
    PushButtonControl testControl_;

    Options options_;
    AlertHook alertHook_;
    ChoiceHook choiceHook_;
    QuestionHook questionHook_;
    bool busy_ = false;
    QPointer<QWidget> focusBeforeBusy_;  // may be gone by the time the work ends
    QPointer<PortWatcher> portWatcher_;
    std::unique_ptr<TallixMacAppDelegate> controller_;
    // Set by Cancel and when the window closes; the action in flight stops at its next probe
    // or wake-up exchange and closes its port.
    std::atomic<bool> cancel_{false};
    // Last member: its destructor waits for a printer action still running, before the
    // rest of the window goes away.
    QThreadPool printerThread_;
};

}  // namespace tallix
