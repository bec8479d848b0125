#include "serial/LineSetup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "posix/UniqueFd.h"
#include "serial/StandardSpeed.h"
#include "serial/Termios2Speed.h"

namespace tallix {

void MakeLineSettings(termios& settings, int bits, int parity, int stopbits) {
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    settings.c_cflag |= (bits == 7 ? CS7 : CS8);
    if (parity != 0) {
        settings.c_cflag |= PARENB;
        if (parity == 1) {
            settings.c_cflag |= PARODD;
        }
    }
    if (stopbits > 1) {
        settings.c_cflag |= CSTOPB;
    }
    settings.c_cflag |= CLOCAL | CREAD;

    // DC1/DC3 are data on this line (the reset sequence sends DC3), so no XON/XOFF.
    settings.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                          ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ISIG |
                          IEXTEN | NOFLSH | TOSTOP);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

int openPort(const std::string& path, int speed, int bits, int parity, int stopbits,
             PortError& why) {
    // Non-blocking: opening must not wait for a carrier, and writes wait only as long as
    // write() allows.
    UniqueFd line(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!line) {
        why = PortErrorOf(errno, path);
        return -1;
    }
    const int fd = line.get();
    // Only a terminal can carry the printer. A regular file (a command file given as the
    // port by mistake), a FIFO or /dev/null would otherwise take the protocol's bytes; the
    // check reads nothing and writes nothing.
    struct stat info {};
    termios probe{};
    if (::fstat(fd, &info) != 0) {
        why = PortErrorOf(errno, path);
        return -1;
    }
    if (!S_ISCHR(info.st_mode) || tcgetattr(fd, &probe) != 0) {
        why = PortErrorOf(S_ISCHR(info.st_mode) ? errno : ENOTTY, path);
        return -1;
    }
    // Another port object, in this process or another, has the line: leave its settings
    // alone.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        why = PortErrorOf(errno, path);
        return -1;
    }

    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        MakeLineSettings(settings, bits, parity, stopbits);
        speed_t constant = 0;
        const bool standard = speed > 0 && StandardSpeed(speed, constant);
        if (standard) {
            cfsetispeed(&settings, constant);
            cfsetospeed(&settings, constant);
        }
        (void)tcsetattr(fd, TCSANOW, &settings);
        if (speed > 0 && !standard) {
            (void)SetLineSpeed(fd, speed);
        }
    }
    return line.release();
}

}  // namespace tallix

namespace tallix {

bool PortIsHeld(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    return fd && flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace tallix
