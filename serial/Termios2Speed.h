#pragma once

// Line speeds in bits per second through the kernel's termios2 interface, which takes any
// speed, standard or not. Kept apart because the kernel's terminal headers clash with the C
// library's <termios.h>.

#include <cstdint>

namespace tallix {

// Sets input and output speed of the line on fd to speed. True when the driver took it.
bool SetLineSpeed(int fd, int64_t speed);
// The output speed the driver reports for the line on fd, or -1 when it cannot tell.
int64_t GetLineSpeed(int fd);

}  // namespace tallix
