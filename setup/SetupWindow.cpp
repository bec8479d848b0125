#include "setup/SetupWindow.h"

#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QEvent>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>
#include <vector>

#include "config/Numbers.h"
#include "setup/PortWatcher.h"
#include "setup/Stepper.h"
#include "setup/WindowText.h"

// The icon is compiled into this static library; its resources need an explicit start.
static void InitSetupResources() {
    Q_INIT_RESOURCE(setup_icons);
}

namespace tallix {

namespace {

QString WindowTitle() {
    return SetupWindow::tr("Tallix set-up");
}

// The controller's texts, looked up among the application's translations.
std::string TranslateText(const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
}

QComboBox* MakeCombo(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // Typed text is a value, not a new list item.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->completer()->setCaseSensitivity(Qt::CaseSensitive);
    box->completer()->setCompletionMode(QCompleter::PopupCompletion);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    box->setMinimumContentsLength(16);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& tip) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

SetupWindow::SetupWindow() : SetupWindow(Options{}) {}

SetupWindow::SetupWindow(Options options, QWidget* parent)
    : QWidget(parent),
      controls_(new QWidget(this)),
      cbDevType_(MakeCombo(controls_, "cbDevType")),
      cbDevCountry_(MakeCombo(controls_, "cbDevCountry")),
      cbDevPath_(MakeCombo(controls_, "cbDevPath")),
      cbDevSpeed_(MakeCombo(controls_, "cbDevSpeed")),
      cbDevSN_(MakeCombo(controls_, "cbDevSN")),
      keyField_(new QLineEdit(controls_)),
      textLogID_(new QLineEdit(controls_)),
      stepLogID_(new Stepper(controls_)),
      btAddDevice_(MakeButton(controls_, "btAddDevice", tr("&Add Device"),
                              tr("Store these settings as the device entry of this serial "
                                 "number"))),
      btSetDefault_(MakeButton(controls_, "btSetDefault", tr("Set &Default"),
                               tr("Store the entry and make its key the one that batch runs "
                                  "use when they name none"))),
      btRefreshSN_(MakeButton(controls_, "btRefreshSN", tr("&Read Serial"),
                              tr("Ask the printer for its serial number"))),
      btRefreshPath_(MakeButton(controls_, "btRefreshPath", tr("Re&fresh Ports"),
                                tr("List the serial ports of this computer anew"))),
      btTest_(MakeButton(controls_, "btTest", tr("&Test"),
                         tr("Print the non-fiscal day report at the speed shown"))),
      btFindPrinter_(MakeButton(controls_, "btFindPrinter", tr("F&ind Printer"),
                                tr("Look for the printer on every port, at every speed, and "
                                   "fill in port, speed, logical ID and serial number"))),
      status_(new QLabel(this)),
      busyBar_(new QProgressBar(this)),
      btCancel_(MakeButton(this, "btCancel", tr("Cancel"), tr("Stop waiting for the printer"))),
      typeControl_(cbDevType_),
      countryControl_(cbDevCountry_),
      pathControl_(cbDevPath_),
      speedControl_(cbDevSpeed_),
      serialControl_(cbDevSN_),
      keyControl_(keyField_),
      logicalIDControl_(textLogID_, kLogicalIDTypedLength),
      stepperControl_(stepLogID_),
      testControl_(btTest_),
      options_(std::move(options)) {
    InitSetupResources();
    SetTextTranslator(&TranslateText);
    setWindowTitle(WindowTitle());
    setWindowIcon(QIcon(QStringLiteral(":/tallix-setup/tallix-setup.png")));
    setUpControls();
    buildLayout();
    controller_ = std::make_unique<TallixMacAppDelegate>(*this, this, options_.deviceFactory,
                                                         options_.portLister);
    connectActions();
    printerThread_.setMaxThreadCount(1);
}

SetupWindow::~SetupWindow() {
    // An action still running stops at its next probe or wake-up instead of running out.
    cancel_ = true;
}

void SetupWindow::setUpControls() {
    keyField_->setObjectName(QStringLiteral("keyField"));
    textLogID_->setObjectName(QStringLiteral("textLogID"));
    stepLogID_->setObjectName(QStringLiteral("stepLogID"));
    status_->setObjectName(QStringLiteral("status"));
    busyBar_->setObjectName(QStringLiteral("busyBar"));

    cbDevType_->addItem(QString::fromLatin1(kDeviceTypeVX37));
    cbDevCountry_->addItem(QStringLiteral("RO"));
    for (const int speed : {9600, 1200, 2400, 4800, 19200, 38400, 57600, 115200}) {
        cbDevSpeed_->addItem(QString::number(speed));
    }
    cbDevSpeed_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,7}")), cbDevSpeed_));
    cbDevPath_->lineEdit()->setPlaceholderText(tr("for example ttyUSB0"));
    // The list describes each port; completion offers what an item stands for.
    cbDevPath_->completer()->setCompletionRole(Qt::UserRole);
    cbDevSN_->lineEdit()->setPlaceholderText(tr("read it or type it"));
    keyField_->setPlaceholderText(tr("for example shop-1"));
    keyField_->setToolTip(tr("The name by which batch runs choose this device"));

    stepLogID_->setRange(kLogicalIDMin, kLogicalIDMax);
    stepLogID_->setValue(1);
    textLogID_->setText(QString::number(stepLogID_->value()));
    textLogID_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,2}")), textLogID_));
    textLogID_->setMaxLength(kLogicalIDTypedLength);
    textLogID_->setFixedWidth(textLogID_->fontMetrics().horizontalAdvance(QStringLiteral("000")) +
                              16);
    textLogID_->setToolTip(tr("Logical ID of the printer, 0 to 99 (Up and Down step it)"));
    textLogID_->installEventFilter(this);
    stepLogID_->setFixedHeight(textLogID_->sizeHint().height());

    btTest_->hide();  // shown by the start when the preferences file has a default key

    status_->setWordWrap(true);
    busyBar_->setRange(0, 0);  // no known length: the bar runs to and fro
    busyBar_->setTextVisible(false);
    busyBar_->setMaximumWidth(140);
    busyBar_->hide();
    btCancel_->hide();
}

// A label for a control, with its mnemonic leading to it.
QLabel* SetupWindow::addLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    labels_ << label;
    return label;
}

QGroupBox* SetupWindow::buildPrinterBox() {
    auto* box = new QGroupBox(tr("Printer"), controls_);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(addLabel(tr("Device t&ype:"), cbDevType_, box), cbDevType_);
    form->addRow(addLabel(tr("&Country:"), cbDevCountry_, box), cbDevCountry_);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(cbDevPath_, 1);
    pathRow->addWidget(btRefreshPath_);
    form->addRow(addLabel(tr("&Port:"), cbDevPath_, box), pathRow);
    form->addRow(addLabel(tr("&Speed (baud):"), cbDevSpeed_, box), cbDevSpeed_);

    auto* logicalIDRow = new QHBoxLayout;
    logicalIDRow->setSpacing(2);
    logicalIDRow->addWidget(textLogID_);
    logicalIDRow->addWidget(stepLogID_);
    logicalIDRow->addStretch(1);
    // Finds port, speed and logical ID at once: beside the last of them, under Refresh Ports.
    logicalIDRow->addWidget(btFindPrinter_);
    form->addRow(addLabel(tr("&Logical ID:"), textLogID_, box), logicalIDRow);
    return box;
}

QGroupBox* SetupWindow::buildEntryBox() {
    auto* box = new QGroupBox(tr("Device entry"), controls_);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(cbDevSN_, 1);
    serialRow->addWidget(btRefreshSN_);
    form->addRow(addLabel(tr("Serial &number:"), cbDevSN_, box), serialRow);
    form->addRow(addLabel(tr("&Key:"), keyField_, box), keyField_);
    return box;
}

void SetupWindow::alignColumns() {
    int sideWidth = 0;
    for (QPushButton* side : {btRefreshPath_, btRefreshSN_, btFindPrinter_}) {
        sideWidth = std::max(sideWidth, side->sizeHint().width());
    }
    for (QPushButton* side : {btRefreshPath_, btRefreshSN_, btFindPrinter_}) {
        side->setMinimumWidth(sideWidth);
    }
    int labelWidth = 0;
    for (QLabel* label : labels_) {
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    }
    for (QLabel* label : labels_) {
        label->setMinimumWidth(labelWidth);
    }
}

void SetupWindow::buildLayout() {
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btTest_);
    buttonRow->addStretch(1);
    buttonRow->addWidget(btSetDefault_);
    buttonRow->addWidget(btAddDevice_);

    auto* controlsLayout = new QVBoxLayout(controls_);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    controlsLayout->addWidget(buildPrinterBox());
    controlsLayout->addWidget(buildEntryBox());
    controlsLayout->addSpacing(4);
    controlsLayout->addLayout(buttonRow);
    alignColumns();

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(busyBar_);
    statusRow->addWidget(btCancel_);
    // Keeps its height when empty, so the window does not jump when a message appears.
    status_->setMinimumHeight(btCancel_->sizeHint().height());

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(controls_);
    mainLayout->addLayout(statusRow);
    setMinimumWidth(460);
    orderTabs();
}

void SetupWindow::orderTabs() {
    const std::vector<QWidget*> order = {
        cbDevType_, cbDevCountry_,  cbDevPath_,  btRefreshPath_, cbDevSpeed_,
        textLogID_, btFindPrinter_, cbDevSN_,    btRefreshSN_,   keyField_,
        btTest_,    btSetDefault_,  btAddDevice_};
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void SetupWindow::connectActions() {
    TallixMacAppDelegate* c = controller_.get();
    connect(cbDevType_, &QComboBox::activated, this, [c] { c->selectedDevice(); });
    connect(cbDevCountry_, &QComboBox::activated, this, [c] { c->selectedCountry(); });
    connect(cbDevPath_, &QComboBox::activated, this, [c] { c->selectedPath(); });
    connect(cbDevSpeed_, &QComboBox::activated, this, [c] { c->selectedSpeed(); });
    connect(cbDevSN_, &QComboBox::activated, this, [c] { c->selectedSN(); });
    connect(btRefreshPath_, &QPushButton::clicked, this, [c] { c->pressedRefreshPath(); });
    connect(btRefreshSN_, &QPushButton::clicked, this, [c] { c->pressedRefreshSN(); });
    connect(btAddDevice_, &QPushButton::clicked, this, [c] { c->pressedAddDevice(); });
    connect(btSetDefault_, &QPushButton::clicked, this, [c] { c->pressedSetDefault(); });
    connect(btTest_, &QPushButton::clicked, this, [c] { c->pressedTest(); });
    connect(btFindPrinter_, &QPushButton::clicked, this, [c] { c->pressedFindPrinter(); });
    connect(
        this, &SetupWindow::progressed, this,
        [this](int done, int total) {
            busyBar_->setRange(0, total);
            busyBar_->setValue(done);
        },
        Qt::QueuedConnection);
    connect(btCancel_, &QPushButton::clicked, this, [this] {
        cancel_ = true;
        btCancel_->setEnabled(false);
        status_->setText(tr("Stopping…"));
    });
    connectLogicalID();
}

// The field and the stepper show one number.
void SetupWindow::connectLogicalID() {
    connect(stepLogID_, &Stepper::valueChanged, this, [this](int value) {
        if (ParseLeadingInt(textLogID_->text().toStdString()) != value ||
            textLogID_->text().isEmpty()) {
            textLogID_->setText(QString::number(value));
        }
    });
    connect(textLogID_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            return;  // being typed; the stepper keeps its value until a number is there
        }
        const QSignalBlocker blocker(stepLogID_);
        stepLogID_->setValue(ParseLeadingInt(text.toStdString()));
    });
    connect(textLogID_, &QLineEdit::editingFinished, this, [this] {
        if (textLogID_->text().isEmpty()) {
            textLogID_->setText(QString::number(stepLogID_->value()));
        }
    });
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == textLogID_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up) {
            stepLogID_->stepUp();
            return true;
        }
        if (key->key() == Qt::Key_Down) {
            stepLogID_->stepDown();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SetupWindow::start() {
    controller_->applicationDidFinishLaunching();
    if (options_.watchPorts && portWatcher_ == nullptr) {
        portWatcher_ = new PortWatcher(this);
        if (portWatcher_->start()) {
            connect(portWatcher_, &PortWatcher::portsChanged, this,
                    [this] { controller_->portsChanged(); });
        } else {
            delete portWatcher_;
            portWatcher_ = nullptr;
        }
    }
}

bool SetupWindow::watchingPorts() const {
    return portWatcher_ != nullptr && portWatcher_->watching();
}

void SetupWindow::showAlert(const Alert& alert) {
    if (alertHook_) {
        alertHook_(alert);
        return;
    }
    QMessageBox box(this);
    box.setIcon(alert.style == AlertStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning);
    box.setWindowTitle(WindowTitle());
    box.setText(QString::fromStdString(alert.message));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    box.addButton(tr("OK"), QMessageBox::AcceptRole);
    box.exec();
}

bool SetupWindow::confirm(const Alert& question) {
    if (questionHook_) {
        return questionHook_(question);
    }
    QMessageBox box(this);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(WindowTitle());
    box.setText(QString::fromStdString(question.message));
    box.setInformativeText(QString::fromStdString(question.informativeText));
    QPushButton* yes = box.addButton(tr("Yes"), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(tr("No"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

void SetupWindow::showStatus(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

std::optional<std::size_t> SetupWindow::choosePrinter(const std::vector<std::string>& printers) {
    if (choiceHook_) {
        return choiceHook_(printers);
    }
    QStringList items;
    for (const std::string& printer : printers) {
        items << QString::fromStdString(printer);
    }
    QInputDialog dialog(this);
    dialog.setWindowTitle(WindowTitle());
    dialog.setLabelText(tr("Several printers answered. Which one do you want to set up?"));
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOkButtonText(tr("OK"));
    dialog.setCancelButtonText(tr("Cancel"));
    const auto index = dialog.exec() == QDialog::Accepted ? items.indexOf(dialog.textValue()) : -1;
    if (index < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

void SetupWindow::setBusy(bool busy, const QString& text) {
    busy_ = busy;
    if (busy) {
        focusBeforeBusy_ = focusWidget();
        controls_->setEnabled(false);
        setCursor(Qt::BusyCursor);
        status_->setText(text);
        busyBar_->show();
        btCancel_->setEnabled(true);
        btCancel_->show();
    } else {
        busyBar_->hide();
        busyBar_->setRange(0, 0);
        btCancel_->hide();
        status_->clear();
        unsetCursor();
        controls_->setEnabled(true);
        if (focusBeforeBusy_ && focusBeforeBusy_->isVisible()) {
            focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
        }
        focusBeforeBusy_ = nullptr;
    }
}

void SetupWindow::run(const std::string& busyText, Work work, Done done) {
    setBusy(true, QString::fromStdString(busyText));
    cancel_ = false;  // the bar runs to and fro until the work reports how far it got
    runOnWorker(
        [this, work = std::move(work)] {
            DetectionControl control;
            control.cancel = &cancel_;
            control.progress = [this](int done, int total) { emit progressed(done, total); };
            return work(control);
        },
        std::move(done));
}

void SetupWindow::runOnWorker(std::function<PrinterOutcome()> work, Done done) {
    auto* watcher = new QFutureWatcher<PrinterOutcome>(this);
    connect(watcher, &QFutureWatcher<PrinterOutcome>::finished, this,
            [this, watcher, done = std::move(done)] {
                const PrinterOutcome outcome = watcher->result();
                watcher->deleteLater();
                setBusy(false);
                done(outcome);
            });
    watcher->setFuture(QtConcurrent::run(&printerThread_, std::move(work)));
}

}  // namespace tallix
