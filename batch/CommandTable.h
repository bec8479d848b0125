#pragma once

// The commands a command file can give, by number: what each line needs and which printer
// command it builds. The command run, the job journal's calls and the result line all look
// commands up here, so a new command is added in one row.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "device/PrinterCommand.h"

namespace tallix {

class CommandLine;
class Device;

// What a line whose field count is outside a command's bounds gets.
enum class WrongFieldCount : uint8_t {
    kSyntaxError,      // code 5005: the caller must mend the line
    kExecutesNothing,  // the line is answered as if it were not a command
};

// What a line that has passed the field-count check asks of the printer.
class LineAction {
  public:
    // Sends command (which may be refused: then nothing is sent and the line is a syntax
    // error).
    static LineAction Send(PrinterCommand command) { return LineAction(std::move(command)); }
    // Sends nothing and answers code (a syntax error found in the line itself).
    static LineAction Answer(int32_t code) { return LineAction(code); }
    // Executes nothing after all: the line is answered as if it were not a command.
    static LineAction Nothing() { return LineAction(std::nullopt); }

    const std::optional<PrinterCommand>& command() const { return command_; }
    const std::optional<int32_t>& code() const { return code_; }

  private:
    explicit LineAction(PrinterCommand command) : command_(std::move(command)) {}
    explicit LineAction(std::optional<int32_t> code) : code_(code) {}

    std::optional<PrinterCommand> command_;
    std::optional<int32_t> code_;
};

// The action of a line: the command the device builds from the line's fields.
using MakeCommand = LineAction (*)(const Device& device, const CommandLine& line);

constexpr std::size_t kAnyFieldCount = std::numeric_limits<std::size_t>::max();

struct CommandSpec {
    int32_t number;
    std::string_view name;
    // Fields the line must have, field 0 (the command number) counted.
    std::size_t minFields;
    std::size_t maxFields;
    WrongFieldCount wrongFieldCount;
    // The printer operation(s) the line calls, by name, and the command it builds.
    std::string_view operation;
    MakeCommand make;
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
