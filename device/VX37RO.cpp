#include "device/VX37RO.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "device/CharacterMap.h"
#include "device/CommandText.h"
#include "device/SerialNumberText.h"
#include "protocol/CashRegManager.h"
#include "protocol/TextConversion.h"

namespace tallix {

namespace {

constexpr std::size_t kMaxItemNameCharacters = 130;
constexpr int kNameArea = 200;              // the converted name before it is cut
constexpr std::size_t kNameOnPrinter = 20;  // bytes of the name the printer gets

// Characters of a UTF-8 text: every byte that does not continue a sequence starts one.
std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

// The bytes of a zero-filled area up to its first zero byte.
std::string_view UpToZero(const std::vector<uint8_t>& area, std::size_t limit) {
    const auto end = std::find(
        area.begin(), area.begin() + static_cast<std::ptrdiff_t>(std::min(limit, area.size())),
        uint8_t{0});
    return {reinterpret_cast<const char*>(area.data()),
            static_cast<std::size_t>(end - area.begin())};
}

PrinterCommand Command(std::optional<std::string> text, bool checkSequence = true) {
    return PrinterCommand{std::move(text), checkSequence};
}

// "<head><number>;<amount with 2 decimals>;;;;", the form of payments, percentages and
// service money.
std::optional<std::string> NumberAndAmount(const char* head, int number, double amount) {
    return CommandText()
        .text(head)
        .integer(number)
        .text(";")
        .fixed(amount, 2)
        .text(";;;;")
        .finish();
}

}  // namespace

VX37RO::VX37RO() : cashRegMan(std::make_unique<CashRegManager>()) {}

VX37RO::~VX37RO() = default;

bool VX37RO::Open(const std::string& port, int boudRate) {
    return cashRegMan->Open(port, boudRate);
}

PortError VX37RO::openError() const {
    return cashRegMan->openError();
}

void VX37RO::Close() {
    cashRegMan->Close();
}

bool VX37RO::Initialize(int logicalID) {
    return cashRegMan->InitializeCR(logicalID, VX37ROCharacterMap().data(), kEncodingWindows1250);
}

void VX37RO::SetCodePage(uint64_t codePage) {
    cashRegMan->setString_codepage(codePage);
}

void VX37RO::SetCancel(const std::atomic<bool>* cancel) {
    cashRegMan->setCancel(cancel);
}

bool VX37RO::LeaveLineClean() {
    return cashRegMan->LeaveLineClean();
}

void VX37RO::SettleBeforeNextFrame() {
    cashRegMan->settleBeforeNextFrame();
}

double VX37RO::SlowestAnswer() const {
    return cashRegMan->slowestAnswer();
}

void VX37RO::KnowSlowest(double seconds) {
    cashRegMan->knowSlowest(seconds);
}

WakeOutcome VX37RO::Wake() {
    return cashRegMan->Wake();
}

DeliveryOutcome VX37RO::Deliver(const PrinterCommand& command, int32_t sequenceBefore) {
    if (!command.text) {
        DeliveryOutcome refused;
        refused.failure = DeliveryFailure::kBadText;
        refused.sequenceBefore = sequenceBefore;
        return refused;
    }
    return cashRegMan->Deliver(reinterpret_cast<const uint8_t*>(command.text->data()),
                               static_cast<int>(command.text->size()), command.checkSequence,
                               sequenceBefore);
}

PrinterCommand VX37RO::SellItemCommand(const std::string& item, double singlePrice, double quantity,
                                       int shtand, int stockGroup, int vatGroup) const {
    if (CharacterCount(item) > kMaxItemNameCharacters) {
        return Command(std::nullopt);
    }
    std::vector<uint8_t> name(kNameArea, 0);
    cashRegMan->MacToChill(item, name.data(), kNameArea);
    const std::optional<std::string> text = CommandText()
                                                .text("L;;")
                                                .text(UpToZero(name, kNameOnPrinter))
                                                .text(";")
                                                .fixed(singlePrice, 2)
                                                .text(";")
                                                .fixed(quantity, 3)
                                                .text(";")
                                                .integer(shtand)
                                                .text(";")
                                                .integer(stockGroup)
                                                .text(";")
                                                .integer(vatGroup)
                                                .text(";0;0;")
                                                .finish();
    return Command(text);
}

PrinterCommand VX37RO::PaymentCommand(int paymentType, double amount) const {
    if (amount == 0.0) {
        return Command(CommandText().text("E;").integer(paymentType).text(";;;;;").finish());
    }
    return Command(NumberAndAmount("E;", paymentType, amount));
}

PrinterCommand VX37RO::PrintTextCommand(const std::string& row1, const std::string& row2,
                                        const std::string& row3, const std::string& row4,
                                        const std::string& row5) const {
    CommandText text;
    text.text("X;");
    for (const std::string* row : {&row1, &row2, &row3, &row4, &row5}) {
        const std::size_t length = CharacterCount(*row);
        std::vector<uint8_t> area(length + 1, 0);
        cashRegMan->MacToChill(*row, area.data(), static_cast<int>(length));
        text.text(UpToZero(area, length)).text(";");
    }
    // The free-text command's area is sized to its rows; no 199-byte limit applies to it, so
    // it is never refused.
    return Command(text.finish(std::string::npos));
}

PrinterCommand VX37RO::PercentCommand(int kind, double percent) const {
    if (kind != 0 && kind != 1) {
        return Command(std::nullopt);
    }
    return Command(NumberAndAmount("C;", kind, percent));
}

bool VX37RO::Sell_PrintBarcode(int /*type*/, const std::string& /*data*/) {
    return false;
}

// The day reports count as executed once the printer answers after the frame.
PrinterCommand VX37RO::FiscalDayCommand() const {
    return Command(std::string("A;;;Z;"), false);
}

PrinterCommand VX37RO::NonFiscalDayCommand() const {
    return Command(std::string("A;;;X;"), false);
}

SerialRead VX37RO::ReadSerial(bool afterSilence) {
    const WakeOutcome woken = afterSilence ? cashRegMan->WakeAfterSilence() : cashRegMan->Wake();
    SerialRead read;
    read.failure = woken.failure;
    if (woken) {
        read.serialNumber = SerialNumberText(woken.answer->serialNumber);
        read.sequence = woken.answer->sequence;
    }
    return read;
}

bool VX37RO::Other_Beep() {
    return false;
}

PrinterCommand VX37RO::ServiceMoneyTransferCommand(int direction, double amount) const {
    if (direction != 0 && direction != 1) {
        return Command(std::nullopt);
    }
    return Command(NumberAndAmount("I;", direction, amount));
}

PrinterCommand VX37RO::PrintDuplicateCommand() const {
    return Command(std::string("E;2;;;;;"));
}

DeviceFactory VX37ROFactory() {
    return [] { return std::make_unique<VX37RO>(); };
}

}  // namespace tallix
