#pragma once

// One printer command as a device operation builds it, ready for the line: its text, or
// nothing when the operation refused its data (then nothing is sent).

#include <optional>
#include <string>

namespace tallix {

struct PrinterCommand {
    // The command text in the printer's bytes, without the frame.
    std::optional<std::string> text;
    // "Executed" needs the printer's counter to move; without it (the day reports) an answer
    // after the frame will do.
    bool checkSequence = true;

    // False when the data cannot make a valid command: the caller must mend it.
    bool valid() const { return text.has_value(); }
};

}  // namespace tallix
