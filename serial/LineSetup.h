#pragma once

// Opening a serial line and putting it in the character format the printer speaks.

#include <termios.h>

#include <cstdint>
#include <string>

#include "serial/PortError.h"

namespace tallix {

// Character format on top of the current settings: data bits 7 gives CS7, any other value
// CS8; parity 0 none, 1 odd, any other even; stop bits above 1 give two. No hardware flow
// control. The line becomes raw and 8-bit transparent: no canonical input, echo, signals,
// software flow control or translation of input or output; CLOCAL and CREAD are on.
void MakeLineSettings(termios& settings, int bits, int parity, int stopbits);

// Opens path read-write, not as controlling terminal and non-blocking, takes an exclusive
// flock on it (before touching its settings), and applies MakeLineSettings and the speed. A
// speed of 0 or less leaves the speed as it is. Returns the descriptor, or -1 when the path
// cannot be opened, is not a terminal (a regular file, folder, FIFO, /dev/null: nothing is
// written to it) or another descriptor holds the lock; why is then set (and left alone on
// success). Failing settings are not reported: the line is returned all the same.
int openPort(const std::string& path, int speed, int bits, int parity, int stopbits,
             PortError& why);

}  // namespace tallix

namespace tallix {

// True when another descriptor, in this process or another, holds the port's lock: a port
// object has the line open. Opens the port for a moment without changing its settings.
bool PortIsHeld(const std::string& path);

}  // namespace tallix
