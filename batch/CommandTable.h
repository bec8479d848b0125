#pragma once

// The commands a command file can give, by number: what each line needs and which printer
// operation it runs. The command run, the job journal's calls and the result line all look
// commands up here, so a new command is added in one row.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace tallix {

class CommandLine;
class Device;

// What a line whose field count is outside a command's bounds gets.
enum class WrongFieldCount : uint8_t {
    kSyntaxError,      // code 5005: the caller must mend the line
    kExecutesNothing,  // the line is answered as if it were not a command
};

// Runs a line that has passed the field-count check: the code of what was executed, or
// nothing when the line executes nothing after all.
using RunCommand = std::optional<int32_t> (*)(Device& device, const CommandLine& line);

constexpr std::size_t kAnyFieldCount = std::numeric_limits<std::size_t>::max();

struct CommandSpec {
    int32_t number;
    std::string_view name;
    // Fields the line must have, field 0 (the command number) counted.
    std::size_t minFields;
    std::size_t maxFields;
    WrongFieldCount wrongFieldCount;
    // The printer operation(s) the line calls, by name, and the call itself.
    std::string_view operation;
    RunCommand run;
    // A line done means the printer's counter moved: the exchange checks it. The day reports
    // count as done once the printer answers after the frame, counter moved or not.
    bool checksCounter;
    // Its result line for a success carries one more, empty field.
    bool emptyFieldAfterSuccess;
};

// Every command, in ascending number.
std::span<const CommandSpec> Commands();

// The command with this number; nothing for a number that executes nothing.
const CommandSpec* FindCommand(int32_t number);

}  // namespace tallix
