#include "batch/CommandTable.h"

#include <algorithm>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "config/Numbers.h"
#include "device/Device.h"

namespace tallix {
namespace {

constexpr double kPercentLimit = 99.99;

// Fields 2, 6 and 7 must be there but say nothing the printer needs.
LineAction SellItem(const Device& device, const CommandLine& line) {
    return LineAction::Send(device.SellItemCommand(line.text(1), line.decimal(4), line.decimal(3),
                                                   1, 1, line.integer(5)));
}

LineAction PayRest(const Device& device, const CommandLine& /*line*/) {
    return LineAction::Send(device.PaymentCommand(4, 0.0));
}

LineAction Pay(const Device& device, const CommandLine& line) {
    return LineAction::Send(device.PaymentCommand(line.integer(3), line.decimal(4)));
}

LineAction PrintText(const Device& device, const CommandLine& line) {
    return LineAction::Send(device.PrintTextCommand(line.text(1), line.text(2), line.text(3),
                                                    line.text(4), line.text(5)));
}

LineAction DayReport(const Device& device, const CommandLine& line) {
    // A Z report closes the fiscal day for good: it must come from a written 0, never from
    // text that merely reads as 0 ("X", "", "0x2").
    const std::optional<int32_t> report = LeadingInt(line.field(1));
    if (!report) {
        return LineAction::Answer(kCodeSyntaxError);
    }
    switch (*report) {
        case 0:
            return LineAction::Send(device.FiscalDayCommand());
        case 2:
            return LineAction::Send(device.NonFiscalDayCommand());
        default:
            return LineAction::Nothing();
    }
}

LineAction ServiceMoney(const Device& device, const CommandLine& line) {
    return LineAction::Send(device.ServiceMoneyTransferCommand(line.integer(1), line.decimal(2)));
}

LineAction Duplicate(const Device& device, const CommandLine& /*line*/) {
    return LineAction::Send(device.PrintDuplicateCommand());
}

LineAction Percent(const Device& device, const CommandLine& line) {
    const double percent = line.decimal(1);
    if (percent < -kPercentLimit || percent > kPercentLimit) {
        return LineAction::Answer(kCodeSyntaxError);
    }
    // Negative is a discount (kind 1), anything else a surcharge (kind 0).
    if (percent < 0) {
        return LineAction::Send(device.PercentCommand(1, -percent));
    }
    return LineAction::Send(device.PercentCommand(0, percent));
}

constexpr WrongFieldCount kSyntax = WrongFieldCount::kSyntaxError;
constexpr WrongFieldCount kNothing = WrongFieldCount::kExecutesNothing;

// clang-format off
constexpr CommandSpec kCommands[] = {
    // number, name, fields (min, max, else), operation, make, checks counter, extra field
    {49, "sale", 8, kAnyFieldCount, kSyntax,
     "Sell_SellItem", SellItem, true, false},
    {51, "payment of the rest", 1, kAnyFieldCount, kSyntax,
     "Sell_Payment", PayRest, true, false},
    {53, "payment", 5, kAnyFieldCount, kSyntax,
     "Sell_Payment", Pay, true, true},
    {54, "free text", 6, kAnyFieldCount, kSyntax,
     "Sell_PrintText", PrintText, true, false},
    {69, "day report", 2, kAnyFieldCount, kSyntax,
     "Report_FiscalDay / Report_NonFiscalDay", DayReport, false, false},
    {70, "service money", 4, 4, kNothing,
     "Other_ServiceMoneyTransfer", ServiceMoney, true, false},
    {109, "duplicate", 1, kAnyFieldCount, kSyntax,
     "Other_PrintDubliate", Duplicate, true, false},
    {200, "discount or surcharge", 3, kAnyFieldCount, kSyntax,
     "Sell_Percent", Percent, true, false},
};
// clang-format on

constexpr bool AscendingNumbers() {
    for (std::size_t i = 1; i < std::size(kCommands); ++i) {
        if (kCommands[i - 1].number >= kCommands[i].number) {
            return false;
        }
    }
    return true;
}
static_assert(AscendingNumbers(), "the command table is looked up by binary search");

}  // namespace

std::span<const CommandSpec> Commands() {
    return kCommands;
}

const CommandSpec* FindCommand(int32_t number) {
    const auto* found =
        std::lower_bound(std::begin(kCommands), std::end(kCommands), number,
                         [](const CommandSpec& entry, int32_t n) { return entry.number < n; });
    return found != std::end(kCommands) && found->number == number ? found : nullptr;
}

}  // namespace tallix
