#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/VirtualPrinter.h"

namespace tallix {

// Everything the command line of tallix-sim sets.
struct SimOptions {
    std::string link;     // symbolic link to the device path, removed on exit
    std::string port;     // serve this serial device instead of a pseudo-terminal
    std::string journal;  // JSON lines of everything received
    std::string paper;    // what the printer prints
    int baud = 0;         // pace output at this speed (pty) or set the port's speed; 0: not given
    PrinterSettings printer;
    FaultSettings faults;
    bool help = false;

    // The printer's line speed: --baud, else 9600. On a pseudo-terminal it hears only a host
    // whose line is set to this speed.
    int lineSpeed() const { return baud > 0 ? baud : kDefaultBaud; }
    static constexpr int kDefaultBaud = 9600;
};

// Parses the arguments (without the program name). On failure returns nullopt and sets error
// to a one-line message.
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string SimUsage();

}  // namespace tallix
