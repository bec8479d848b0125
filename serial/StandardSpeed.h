#pragma once

// The standard line speeds termios names with a constant (B9600 and so on). Other speeds go
// through SetLineSpeed (serial/Termios2Speed.h).

#include <termios.h>

#include <cstdint>

namespace tallix {

// The termios speed constant for a standard speed in bits per second; false for any other.
bool StandardSpeed(int64_t speed, speed_t& constant);

}  // namespace tallix
