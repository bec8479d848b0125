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

// Whether a line that reports running at got bits per second runs at wanted. A driver that
// cannot divide its clock to the exact speed sets the nearest it can and reports that; within
// 2 % the printer's UART still frames every byte, beyond it (a driver that fell back to 9600
// or kept the old speed) it does not.
bool SpeedMatches(int64_t wanted, int64_t got);

// Puts MakeLineSettings and the speed on the open line fd, then reads both back. A speed of 0
// or less leaves the speed as it is. Nothing failed (PortError{}) when the line took them and
// kept them; else LineSettings for path: the driver refused them (with its errno), or kept
// other ones, which would leave the line at whatever speed or format it had.
PortError SetUpLine(int fd, const std::string& path, int speed, int bits, int parity, int stopbits);

// Opens path read-write, not as controlling terminal and non-blocking, takes an exclusive
// flock on it (before touching its settings), and puts the settings on it (SetUpLine).
// Returns the descriptor, or -1 when the path cannot be opened, is not a terminal (a regular
// file, folder, FIFO, /dev/null: nothing is written to it), another descriptor holds the
// lock, or the line did not take its settings; why is then set (and left alone on success).
// Nothing is written to the line either way.
int openPort(const std::string& path, int speed, int bits, int parity, int stopbits,
             PortError& why);

}  // namespace tallix

namespace tallix {

// True when another descriptor, in this process or another, holds the port's lock: a port
// object has the line open. Opens the port for a moment without changing its settings.
bool PortIsHeld(const std::string& path);

}  // namespace tallix
