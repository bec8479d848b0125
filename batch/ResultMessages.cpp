#include "batch/ResultMessages.h"

#include <algorithm>
#include <array>

namespace tallix {
namespace {

// The command numbers a row holds for; none listed: every command.
struct Commands {
    std::array<int32_t, 4> numbers{};
    std::size_t count = 0;
};

constexpr Commands kAnyCommand{};
constexpr Commands kFreeText{{54}, 1};
constexpr Commands kOperatorPassword{{48}, 1};
// The commands a printer takes while a fiscal receipt is open: sales, payments, free text.
constexpr Commands kReceiptCommands{{49, 51, 53, 54}, 4};

// A row holds for the code on lines of its commands; rows of one code are looked at in order.
struct MessageRow {
    int32_t code;
    Commands onlyFor;
    ResultMessage message;
};

// A code left without a message: the line reads like a success.
constexpr ResultMessage kNoMessage{0, "No error", false};

// clang-format off
constexpr MessageRow kMessages[] = {
    {0,    kAnyCommand,       {0,  "No error", false}},
    {1,    kAnyCommand,       {1,  "No printer response", true}},
    {2,    kAnyCommand,       {9,  "Error in previous command", true}},
    {3,    kAnyCommand,       {10, "No receipt opened", true}},
    {4,    kAnyCommand,       {12, "Fiscal receipt not opened", true}},
    {10,   kAnyCommand,       {15, "Discount sum greater than sale", true}},
    {11,   kAnyCommand,       {16, "Payment has passed", true}},
    {12,   kAnyCommand,       {15, "Surcharge sum greater than sale", true}},
    {13,   kAnyCommand,       {15, "Surcharge percent greater than 99.00%", true}},
    {14,   kAnyCommand,       {15, "Discount percent greater than 99.00%", true}},
    {5005, kAnyCommand,       {21, "Syntax error", true}},
    {5007, kAnyCommand,       {8,  "Date and Time not set", true}},
    {5008, kAnyCommand,       {55, "Command overflow", true}},
    {5009, kOperatorPassword, {6,  "Invalid operator's password", true}},
    {5009, kAnyCommand,       {64, "Command not permited", true}},
    {5012, kFreeText,         kNoMessage},
    {5012, kAnyCommand,       {3,  "Non fiscal rotated receipt opened", true}},
    {5013, kAnyCommand,       {7,  "No paper", true}},
    {5014, kAnyCommand,       {59, "Electronic journal full", true}},
    {5015, kReceiptCommands,  kNoMessage},
    {5015, kAnyCommand,       {4,  "Fiscal receipt opened", true}},
    {5017, kFreeText,         kNoMessage},
    {5017, kAnyCommand,       {2,  "Non fiscal receipt opened", true}},
    {5018, kAnyCommand,       {56, "Fiscal memory error", true}},
    {5019, kAnyCommand,       {57, "Fiscal memory invalid", true}},
    {5020, kAnyCommand,       {58, "Fiscal memory full", true}},
    {5021, kAnyCommand,       {60, "Fiscal memory readonly", true}},
    {5022, kAnyCommand,       {61, "Fiscal memory not formated", true}},
    {5023, kAnyCommand,       {62, "Last fiscal memory record invalid", true}},
    {5025, kAnyCommand,       {63, "VAT not set", true}},
    {5026, kAnyCommand,       {65, "Printer numbers not set", true}},
    {5027, kAnyCommand,       {5,  "24 hours since last Z report has passed", true}},
    {5030, kAnyCommand,       {66, "Failure in printig mechanism", true}},
    {5031, kAnyCommand,       {67, "RAM failure after reset", true}},
    {5032, kAnyCommand,       {68, "Printer cover is open", true}},
    {5033, kAnyCommand,       {70, "Item PLU allready exists and has sales", true}},
    {5034, kAnyCommand,       {71, "Item PLU is not programed", false}},
    {5035, kAnyCommand,       {72, "No items found in the specified PLU range", false}},
};
// clang-format on

bool HoldsFor(const MessageRow& row, int32_t commandNumber) {
    const Commands& only = row.onlyFor;
    if (only.count == 0) {
        return true;
    }
    const auto* end = only.numbers.begin() + only.count;
    return std::find(only.numbers.begin(), end, commandNumber) != end;
}

}  // namespace

ResultMessage MessageFor(int32_t commandNumber, int32_t code) {
    for (const MessageRow& row : kMessages) {
        if (row.code == code && HoldsFor(row, commandNumber)) {
            return row.message;
        }
    }
    return ResultMessage{code, "Error code", true};
}

bool StopsLaterLines(int32_t commandNumber, int32_t code) {
    return MessageFor(commandNumber, code).stopsLaterLines;
}

}  // namespace tallix
