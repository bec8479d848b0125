#pragma once

// Looking for a printer on one port: at each speed and logical ID of a plan, a reset and a
// single wake-up exchange; an answer is confirmed on a silent line before it names a speed and
// an ID. Never a command frame, so probing has no fiscal effect, and never the repeated
// wake-ups that wait out a printer that does not answer.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/DetectionPlan.h"
#include "serial/PortError.h"

namespace tallix {

struct PortToProbe {
    std::string label;  // how the port is reported: its by-id link, else the text given
    std::string path;   // the device node opened

    bool operator==(const PortToProbe&) const = default;
};

struct DetectedPrinter {
    std::string port;  // the port's label
    int speed = 0;
    int logicalID = 0;
    std::string serialNumber;

    bool operator==(const DetectedPrinter&) const = default;
};

enum class PortOutcome {
    Found,
    NotFound,    // every step of the plan went unanswered
    Busy,        // another program holds the port
    CannotOpen,  // no such device, no permission, or not a serial line
    Cancelled,
};

struct PortReport {
    PortToProbe port;
    PortOutcome outcome = PortOutcome::NotFound;
    std::optional<DetectedPrinter> printer;  // with Found
    PortError error;     // with Busy and CannotOpen: why the port could not be opened
    std::string holder;  // with Busy, when it can be seen: the program that has the port

    // Why the port could not be probed, as a person reads it: the port error's text, or for a
    // port in use the program holding it ("Port in use by tallix (process 4242)"). "" for
    // the other outcomes.
    std::string reason() const;
};

// The program that holds the lock of the port at path, as "name (process pid)"; "" when no
// lock is held or its holder cannot be seen.
std::string PortHolder(const std::string& path);

// Follows the plan on one port until a printer answers, the plan ends or cancel becomes
// true (checked before each probe). stepsDone is told how many steps of the plan were done
// or skipped, after each probe and once more when the port ends early. The port is opened
// once per speed and held, with its lock, while that speed is tried.
PortReport ProbePort(const PortToProbe& port, const std::vector<ProbeStep>& plan,
                     const std::atomic<bool>* cancel, const std::function<void(int)>& stepsDone);

}  // namespace tallix
