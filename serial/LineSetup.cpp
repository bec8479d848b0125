#include "serial/LineSetup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

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

namespace {

// Every termios bit that MakeLineSettings decides; the driver may own the others.
constexpr tcflag_t kControlBits =
    CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CLOCAL | CREAD;
constexpr tcflag_t kInputBits = IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                                ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL;
constexpr tcflag_t kOutputBits = OPOST;
constexpr tcflag_t kLocalBits =
    ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP;

// "8N1", "7E2": data bits, parity, stop bits.
std::string CharacterFormat(const termios& settings) {
    const tcflag_t size = settings.c_cflag & CSIZE;
    std::string format = size == CS5 ? "5" : size == CS6 ? "6" : size == CS7 ? "7" : "8";
    if ((settings.c_cflag & PARENB) == 0) {
        format += 'N';
    } else {
        format += (settings.c_cflag & PARODD) != 0 ? 'O' : 'E';
    }
    format += (settings.c_cflag & CSTOPB) != 0 ? '2' : '1';
    return format;
}

// What the line kept other than wanted, in a few words; "" when it kept what was wanted.
std::string SettingsNotKept(const termios& wanted, const termios& got) {
    const tcflag_t formatBits = CSIZE | CSTOPB | PARENB | PARODD;
    if ((wanted.c_cflag & formatBits) != (got.c_cflag & formatBits)) {
        return "it runs " + CharacterFormat(got) + ", not " + CharacterFormat(wanted);
    }
    if ((wanted.c_cflag & kControlBits) != (got.c_cflag & kControlBits)) {
        return "it keeps its own flow control or modem-line handling";
    }
    if ((wanted.c_iflag & kInputBits) != (got.c_iflag & kInputBits) ||
        (wanted.c_oflag & kOutputBits) != (got.c_oflag & kOutputBits) ||
        (wanted.c_lflag & kLocalBits) != (got.c_lflag & kLocalBits) ||
        wanted.c_cc[VMIN] != got.c_cc[VMIN] || wanted.c_cc[VTIME] != got.c_cc[VTIME]) {
        return "it does not pass bytes unchanged (echo, translation or software flow control "
               "stays on)";
    }
    return {};
}

PortError Refused(int error, const std::string& path, const std::string& settings) {
    return {PortFailure::LineSettings, error != 0 ? error : EINVAL, path, settings};
}

PortError NotKept(const std::string& path, const std::string& what) {
    return {PortFailure::LineSettings, 0, path, what};
}

}  // namespace

bool SpeedMatches(int64_t wanted, int64_t got) {
    if (wanted <= 0 || got <= 0) {
        return false;
    }
    const int64_t off = wanted > got ? wanted - got : got - wanted;
    return off * 50 <= wanted;
}

PortError SetUpLine(int fd, const std::string& path, int speed, int bits, int parity,
                    int stopbits) {
    termios wanted{};
    if (tcgetattr(fd, &wanted) != 0) {
        return Refused(errno, path, "the settings could not be read");
    }
    MakeLineSettings(wanted, bits, parity, stopbits);
    const std::string asked =
        (speed > 0 ? std::to_string(speed) + " baud " : std::string()) + CharacterFormat(wanted);
    speed_t constant = 0;
    const bool standard = speed > 0 && StandardSpeed(speed, constant);
    if (standard && (cfsetispeed(&wanted, constant) != 0 || cfsetospeed(&wanted, constant) != 0)) {
        return Refused(errno, path, asked);
    }
    // tcsetattr succeeds when the driver took any part of the settings, so what the line kept
    // is read back below rather than trusted.
    if (tcsetattr(fd, TCSANOW, &wanted) != 0) {
        return Refused(errno, path, asked);
    }
    if (speed > 0 && !standard && !SetLineSpeed(fd, speed)) {
        return Refused(errno, path, asked);
    }

    termios got{};
    if (tcgetattr(fd, &got) != 0) {
        return Refused(errno, path, asked);
    }
    if (const std::string what = SettingsNotKept(wanted, got); !what.empty()) {
        return NotKept(path, what);
    }
    // A standard speed that the line reports as its constant is kept (the kernel reports the
    // constant for a driver that came within 2 % of it); any other report is read in bits per
    // second. Emulated lines may know only the constants.
    const bool keptConstant = standard && cfgetospeed(&got) == constant;
    if (speed > 0 && !keptConstant) {
        const int64_t actual = GetLineSpeed(fd);
        if (actual < 0) {
            return Refused(errno, path, asked);
        }
        if (!SpeedMatches(speed, actual)) {
            return NotKept(path, "it runs at " + std::to_string(actual) + " baud, not " +
                                     std::to_string(speed));
        }
    }
    return {};
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
    // A line at another speed than the printer's turns every byte into noise: the run would
    // wait out its time-outs and blame the printer.
    if (PortError refused = SetUpLine(fd, path, speed, bits, parity, stopbits); refused.failed()) {
        why = std::move(refused);
        return -1;
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
