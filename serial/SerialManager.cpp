// Opening and closing the line, the reading thread, timed reads, writes and the modem-control
// lines.

#include "serial/SerialManager.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "posix/UniqueFd.h"
#include "serial/LineSetup.h"
#include "serial/LineTrace.h"
#include "serial/Termios2Speed.h"

namespace tallix {

namespace {

using Clock = std::chrono::steady_clock;

// Longest wait a caller can ask for; longer time-outs are cut to it (about 115 days).
constexpr double kLongestWait = 1e7;

Clock::duration WaitOf(double seconds) {
    if (!(seconds > 0)) {  // also NaN
        return Clock::duration::zero();
    }
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::min(seconds, kLongestWait)));
}

// How long a write may go without the driver taking a single byte before it gives up: two
// seconds, or twice the time 512 bytes need on a slow line.
Clock::duration WriteStallLimit(int64_t speed) {
    constexpr double kMinimum = 2.0;
    const double drain = speed > 0 ? 2.0 * 512.0 * 10.0 / static_cast<double>(speed) : 0.0;
    return WaitOf(std::max(kMinimum, drain));
}

void Signal(int eventFd) {
    const uint64_t one = 1;
    // A full counter (never reached) would still leave the descriptor readable.
    (void)!::write(eventFd, &one, sizeof one);
}

void Drain(int eventFd) {
    uint64_t value = 0;
    (void)!::read(eventFd, &value, sizeof value);
}

}  // namespace

SerialManager::SerialManager() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!wakeFd_) {
        wakeError_ = errno;
    }
}

SerialManager::~SerialManager() {
    stopWatcher();
    stopNotification();
    close();
}

// --- Port and line settings ---

int SerialManager::open(const std::string& path, int baudrate, int bits, int parity, int stopbits) {
    if (inputfd.load() >= 0) {
        // This object has its line; each connection uses a fresh one.
        return failOpen(PortError{PortFailure::Other, EBUSY, path});
    }
    if (!wakeFd_) {
        return failOpen(PortError{PortFailure::Other, wakeError_, path});
    }
    PortError why;
    UniqueFd line(openPort(path, baudrate, bits, parity, stopbits, why));
    {
        const std::lock_guard<std::mutex> lock(termioLock);
        readLen = 0;
    }
    if (!line) {
        return failOpen(std::move(why));
    }
    const int fd = line.get();
    Drain(wakeFd_.get());
    stopReading_.store(false);
    lineSpeed_.store(baudrate);
    inputfd.store(fd);
    threadRunning.store(true);
    try {
        readThread_ = std::thread(&SerialManager::readThread, this, fd);
    } catch (const std::system_error& failure) {
        threadRunning.store(false);
        inputfd.store(-1);
        return failOpen(
            PortError{PortFailure::Other, failure.code().value(), path});  // closes line
    }
    openError_ = PortError{};
    return line.release();  // inputfd owns it from here until close()
}

int SerialManager::failOpen(PortError why) {
    openError_ = std::move(why);
    TraceLineNote("PORT", openError_.describe());
    return -1;
}

void SerialManager::stopReadThread() {
    if (!readThread_.joinable()) {
        return;
    }
    stopReading_.store(true);
    Signal(wakeFd_.get());
    readThread_.join();
}

void SerialManager::close() {
    stopReadThread();
    // The modem-line watcher uses the descriptor under the same lock.
    const std::lock_guard<std::mutex> lock(termioLock);
    const UniqueFd line(inputfd.exchange(-1));
}

bool SerialManager::setSpeed(int64_t speed) {
    const int fd = inputfd.load();
    if (fd < 0 || !SetLineSpeed(fd, speed) || !SpeedMatches(speed, GetLineSpeed(fd))) {
        return false;
    }
    lineSpeed_.store(speed);
    return true;
}

void SerialManager::clear() {
    const std::lock_guard<std::mutex> lock(termioLock);
    const bool wasFull = readLen >= kReadBufferSize;
    readLen = 0;
    if (wasFull) {
        Signal(wakeFd_.get());  // the reading thread stopped reading while the buffer was full
    }
}

int SerialManager::readBuffered(uint8_t* dst, int maxLength) {
    if (dst == nullptr || maxLength <= 0) {
        return 0;
    }
    const std::lock_guard<std::mutex> lock(termioLock);
    const int count = std::min(readLen, maxLength);
    const bool wasFull = readLen >= kReadBufferSize;
    std::memcpy(dst, readBuffer, static_cast<size_t>(count));
    std::memmove(readBuffer, readBuffer + count, static_cast<size_t>(readLen - count));
    readLen -= count;
    if (wasFull && count > 0) {
        Signal(wakeFd_.get());
    }
    return count;
}

namespace {

void SetModemBit(int fd, int bit, bool on) {
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) {
        return;
    }
    bits = on ? (bits | bit) : (bits & ~bit);
    (void)ioctl(fd, TIOCMSET, &bits);
}

}  // namespace

void SerialManager::setRTS(bool on) {
    const std::lock_guard<std::mutex> lock(termioLock);
    const int fd = inputfd.load();
    if (fd >= 0) {
        SetModemBit(fd, TIOCM_RTS, on);
    }
}

void SerialManager::setDTR(bool on) {
    const std::lock_guard<std::mutex> lock(termioLock);
    const int fd = inputfd.load();
    if (fd >= 0) {
        SetModemBit(fd, TIOCM_DTR, on);
    }
}

int SerialManager::getTermios() {
    const std::lock_guard<std::mutex> lock(termioLock);
    const int fd = inputfd.load();
    int bits = 0;
    if (fd < 0 || ioctl(fd, TIOCMGET, &bits) != 0) {
        return 0;
    }
    return bits;
}

// --- The reading thread ---

void SerialManager::readThread(int fd) {
    for (;;) {
        if (stopReading_.load()) {
            break;
        }
        bool full = false;
        {
            const std::lock_guard<std::mutex> lock(termioLock);
            full = readLen >= kReadBufferSize;
        }
        // With a full buffer the bytes wait in the driver; a consumer that makes room signals
        // the eventfd. Hang-up and errors are reported even without POLLIN.
        pollfd fds[2] = {{fd, static_cast<short>(full ? 0 : POLLIN), 0},
                         {wakeFd_.get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            Drain(wakeFd_.get());
        }
        if (stopReading_.load()) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0 && !takeArrivedBytes(fd)) {
            break;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            break;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(termioLock);
        threadRunning.store(false);
    }
    arrival_.notify_all();
}

bool SerialManager::takeArrivedBytes(int fd) {
    ssize_t n = 0;
    int error = 0;
    {
        const std::lock_guard<std::mutex> lock(termioLock);
        const int room = kReadBufferSize - readLen;
        if (room > 0) {
            n = ::read(fd, readBuffer + readLen, static_cast<size_t>(room));
            error = errno;
            if (n > 0) {
                LOGDATA("RT", readBuffer + readLen, static_cast<int>(n), 1);
                readLen += static_cast<int>(n);
            }
        } else {
            n = -1;
            error = EAGAIN;
        }
    }
    if (n > 0) {
        arrival_.notify_all();
        return true;
    }
    // Readable but nothing to read means the adapter is gone; EIO follows a hang-up.
    const bool lineGone =
        n == 0 || (n < 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR);
    return !lineGone;
}

// --- Reading ---

int SerialManager::read(uint8_t* dst, int maxLength, int stopChar, double timeout) {
    const Clock::time_point deadline = Clock::now() + WaitOf(timeout);
    int taken = 0;
    if (dst == nullptr || maxLength <= 0) {
        return 0;
    }
    std::unique_lock<std::mutex> lock(termioLock);
    for (;;) {
        // The time is tested before each look, so a time-out of 0 takes nothing.
        if (Clock::now() >= deadline) {
            lock.unlock();
            LOGDATA("RTIMEOUT", dst, taken, 1);
            return taken;
        }
        int count = std::min(readLen, maxLength - taken);
        if (stopChar != -1) {
            const auto* stop = std::find(readBuffer, readBuffer + count, stopChar);
            if (stop != readBuffer + count) {
                count = static_cast<int>(stop - readBuffer) + 1;
                maxLength = taken + count;
            }
        }
        if (count > 0) {
            const bool wasFull = readLen >= kReadBufferSize;
            std::memcpy(dst + taken, readBuffer, static_cast<size_t>(count));
            taken += count;
            std::memmove(readBuffer, readBuffer + count, static_cast<size_t>(readLen - count));
            readLen -= count;
            if (wasFull) {
                Signal(wakeFd_.get());
            }
            if (taken >= maxLength) {
                return taken;
            }
        }
        arrival_.wait_until(lock, deadline, [this] { return readLen > 0; });
    }
}

int SerialManager::read(uint8_t* dst, int maxLength, double timeout) {
    return read(dst, maxLength, -1, timeout);
}

int SerialManager::readByte(double timeout) {
    uint8_t byte = 0;
    return read(&byte, 1, -1, timeout) == 1 ? byte : -1;
}

std::optional<std::string> SerialManager::readLine(double timeout) {
    constexpr int kLineMax = 512;
    uint8_t line[kLineMax];
    const int count = read(line, kLineMax, '\n', timeout);
    if (count <= 0) {
        return std::nullopt;
    }
    const auto isControl = [](uint8_t c) { return c < 0x20 || c == 0x7F; };
    int begin = 0;
    int end = count;
    while (begin < end && isControl(line[begin])) {
        ++begin;
    }
    while (end > begin && isControl(line[end - 1])) {
        --end;
    }
    std::string text;
    text.reserve(static_cast<size_t>(end - begin));
    for (int i = begin; i < end; ++i) {
        // The line carries ASCII; anything else shows as "?" rather than as broken UTF-8.
        text.push_back(line[i] < 0x80 ? static_cast<char>(line[i]) : '?');
    }
    return text;
}

// --- Writing ---

bool SerialManager::waitForRoom(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return false;
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        pollfd out{fd, POLLOUT, 0};
        const int r = poll(&out, 1, static_cast<int>(std::min<int64_t>(ms, 60000)));
        if (r > 0) {
            return (out.revents & POLLOUT) != 0 &&
                   (out.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
        }
        if (r < 0 && errno != EINTR) {
            return false;
        }
    }
}

int SerialManager::write(const uint8_t* src, int length) {
    if (src == nullptr || length <= 0) {
        return 0;
    }
    LOGDATA("W", src, length, 1);
    const int fd = inputfd.load();
    if (fd < 0) {
        return 0;
    }
    const Clock::duration stallLimit = WriteStallLimit(lineSpeed_.load());
    Clock::time_point deadline = Clock::now() + stallLimit;
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd, src + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            deadline = Clock::now() + stallLimit;
            continue;
        }
        if (n < 0 && errno == EINTR && Clock::now() < deadline) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitForRoom(fd, deadline)) {
            continue;
        }
        break;  // another error (a removed adapter gives EIO), or no room for too long
    }
    return written;
}

int SerialManager::writeString(const std::string& text) {
    constexpr size_t kMaxChars = 511;
    uint8_t bytes[kMaxChars + 1];
    size_t count = 0;
    for (size_t i = 0; i < text.size() && count < kMaxChars; ++i) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (c < 0x80) {
            bytes[count++] = c;
        } else if ((c & 0xC0) != 0x80) {
            bytes[count++] = '?';  // one "?" for each character that ASCII lacks
        }
    }
    bytes[count] = 0;
    LOG("WS", text);
    return write(bytes, static_cast<int>(count));
}

int SerialManager::writeCString(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    return write(reinterpret_cast<const uint8_t*>(text), static_cast<int>(std::strlen(text)));
}

}  // namespace tallix
