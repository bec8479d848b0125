#include "serial/Termios2Speed.h"

// Only kernel headers here: <asm/termbits.h> and glibc's <termios.h> define the same names.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <limits>

namespace tallix {

bool SetLineSpeed(int fd, int64_t speed) {
    if (fd < 0 || speed <= 0 || speed > std::numeric_limits<unsigned int>::max()) {
        return false;
    }
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    // BOTHER takes the speeds from c_ispeed/c_ospeed; an input baud field of 0 means "same as
    // output".
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(speed);
    tio.c_ospeed = static_cast<speed_t>(speed);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

int64_t GetLineSpeed(int fd) {
    termios2 tio{};
    if (fd < 0 || ioctl(fd, TCGETS2, &tio) != 0) {
        return -1;
    }
    return tio.c_ospeed;
}

}  // namespace tallix
