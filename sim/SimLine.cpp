#include "sim/SimLine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

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

bool StandardSpeed(int baud, speed_t& speed) {
    static const struct {
        int baud;
        speed_t speed;
    } kSpeeds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},    {9600, B9600},
                   {19200, B19200},   {38400, B38400},   {57600, B57600},  {115200, B115200},
                   {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

}  // namespace

bool OpenPty(SimLine& line, std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = Why("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = Why("pseudo-terminal");
        close(master);
        return false;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = Why(std::string("open ") + name);
        close(master);
        return false;
    }
    // No echo, no translation: the host and the printer exchange raw bytes.
    if (!MakeRaw(slave, B9600, false)) {
        error = Why("raw mode");
        close(slave);
        close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    line.fd = master;
    line.keepFd = slave;
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
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = Why("open " + device);
        return false;
    }
    if (!MakeRaw(fd, speed, true)) {
        error = Why("configure " + device);
        close(fd);
        return false;
    }
    line.fd = fd;
    line.keepFd = -1;
    line.devicePath = device;
    line.pty = false;
    return true;
}

void CloseLine(SimLine& line) {
    if (line.keepFd >= 0) {
        close(line.keepFd);
        line.keepFd = -1;
    }
    if (line.fd >= 0) {
        close(line.fd);
        line.fd = -1;
    }
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
