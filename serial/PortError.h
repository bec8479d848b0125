#pragma once

// Why a port could not be opened, kept for the caller, the line trace, the system log and the
// set-up window's alert.

#include <string>
#include <utility>

namespace tallix {

enum class PortFailure {
    None,              // the last open succeeded, or none was tried
    Missing,           // nothing at the path: adapter unplugged, wrong name (ENOENT, ENODEV, ENXIO)
    PermissionDenied,  // the user may not open it, usually not in the group dialout (EACCES, EPERM)
    InUse,             // another port object holds its lock, or a program has it exclusively
    NotATerminal,      // a regular file, folder, FIFO or /dev/null: nothing was written to it
    NotListed,         // no serial port's name begins with the port text
    NoPortGiven,       // the port text is empty: it names no port, so none was opened
    LineSettings,      // the driver refused the line's settings or speed, or did not keep them
    Other              // anything else; the errno text says what
};

struct PortError {
    PortError() = default;
    PortError(PortFailure failure, int error, std::string port, std::string detail = {})
        : failure(failure), error(error), port(std::move(port)), detail(std::move(detail)) {}

    PortFailure failure = PortFailure::None;
    int error = 0;  // the errno behind it (ENOTTY or EISDIR for NotATerminal, ENOENT for NotListed,
                    // 0 for NoPortGiven)
    std::string port;  // the device path, or the port text that named no listed port
    // LineSettings: with an errno, the settings that were refused ("9600 baud 8N1"); without,
    // what the line kept instead ("it runs at 38400 baud, not 9600").
    std::string detail;

    bool failed() const { return failure != PortFailure::None; }
    // The reason and what to do about it: "Permission denied: add the user to the group dialout
    // and log in again". "" when nothing failed.
    std::string text() const;
    // The port and the reason: "/dev/ttyUSB0: Permission denied: add the user to …"; the
    // reason alone when there is no port text ("no port given").
    std::string describe() const;

    bool operator==(const PortError&) const = default;
};

// The reason for an open or lock of path that failed with error (an errno value).
PortError PortErrorOf(int error, const std::string& path);

}  // namespace tallix
