#include "sim/SimLine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "serial/StandardSpeed.h"
#include "serial/Termios2Speed.h"

namespace tallix {

namespace {

std::string Why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd, speed_t speed, bool setSpeed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (setSpeed && (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

bool OpenPty(SimLine& line, int baud, std::string& error) {
    UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master) {
        error = Why("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0 ||
        ptsname_r(master.get(), name, sizeof name) != 0) {
        error = Why("pseudo-terminal");
        return false;
    }
    UniqueFd slave(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave) {
        error = Why(std::string("open ") + name);
        return false;
    }
    // No echo, no translation: the host and the printer exchange raw bytes.
    if (!MakeRaw(slave.get(), B9600, false) || !SetLineSpeed(slave.get(), baud)) {
        error = Why("raw mode");
        return false;
    }
    fcntl(master.get(), F_SETFL, fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    line.fd = std::move(master);
    line.keepFd = std::move(slave);
    line.devicePath = name;
    line.pty = true;
    return true;
}

bool OpenPort(SimLine& line, const std::string& device, int baud, std::string& error) {
    speed_t speed = B9600;
    if (!StandardSpeed(baud, speed)) {
        error = "unsupported speed " + std::to_string(baud);
        return false;
    }
    UniqueFd fd(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = Why("open " + device);
        return false;
    }
    if (!MakeRaw(fd.get(), speed, true)) {
        error = Why("configure " + device);
        return false;
    }
    line.fd = std::move(fd);
    line.keepFd.reset();
    line.devicePath = device;
    line.pty = false;
    return true;
}

void CloseLine(SimLine& line) {
    line.keepFd.reset();
    line.fd.reset();
}

bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = Why("symlink " + link);
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
    std::vector<char> buffer(target.size() + 2);
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n >= 0 && std::string(buffer.data(), static_cast<std::size_t>(n)) == target) {
        unlink(link.c_str());
    }
}

}  // namespace tallix
