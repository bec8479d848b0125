#pragma once

#include <string>

#include "posix/UniqueFd.h"

namespace tallix {

// The printer's end of the line: the master of a pseudo-terminal (whose slave is the device a
// host opens) or a real serial port.
struct SimLine {
    UniqueFd fd;      // read and write here; non-blocking
    UniqueFd keepFd;  // the pty's slave, held open so the master never sees a hang-up
    std::string devicePath;
    bool pty = false;
};

// Opens a pseudo-terminal pair with the slave in raw mode at the given speed (any speed), so a
// host that sets none is at the printer's. false and error set on failure.
bool OpenPty(SimLine& line, int baud, std::string& error);
// Opens a serial device in raw mode, 8N1, at the given speed (a standard one).
bool OpenPort(SimLine& line, const std::string& device, int baud, std::string& error);
// Closes the slave, then the master (the line closes itself too when it goes).
void CloseLine(SimLine& line);

// Makes link a symbolic link to target, replacing an older symbolic link there (never any
// other kind of file).
bool MakeLink(const std::string& link, const std::string& target, std::string& error);
// Removes link if it still points to target.
void RemoveLink(const std::string& link, const std::string& target);

}  // namespace tallix
