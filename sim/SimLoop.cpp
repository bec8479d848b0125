#include "sim/SimLoop.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <memory>

#include "posix/UniqueFd.h"
#include "serial/Termios2Speed.h"
#include "sim/SimLine.h"
#include "sim/VirtualPrinter.h"

namespace tallix {

namespace {

using Clock = std::chrono::steady_clock;

// Noise is reported once the line has been quiet this long.
constexpr auto kQuiet = std::chrono::milliseconds(50);

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            (void)std::fclose(file);
        }
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct Pending {
    std::vector<uint8_t> bytes;
    std::size_t sent = 0;
    Clock::time_point due;
};

double WallTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Writes a whole text and flushes, so readers see it at once.
void WriteFlushed(std::FILE* file, const std::string& text) {
    if (file != nullptr) {
        (void)std::fwrite(text.data(), 1, text.size(), file);
        (void)std::fflush(file);
    }
}

File OpenOutput(const std::string& path, std::string& error) {
    if (path.empty()) {
        return nullptr;
    }
    File file(std::fopen(path.c_str(), "w"));
    if (!file) {
        error = "cannot write " + path;
    }
    return file;
}

timespec ToTimespec(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    return ts;
}

// Closing the master throws away what the host has not read yet. Before hanging up, give the
// host a moment to take the last reply (the ACK of the last command).
void LetTheHostRead(const SimLine& line, int signals) {
    if (!line.pty) {
        tcdrain(line.fd.get());
        return;
    }
    // The bytes reach the slave's queue a little after the write, so look only after a while.
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(1);
    while (Clock::now() < deadline) {
        int pending = 0;
        if (Clock::now() > start + std::chrono::milliseconds(50) &&
            (ioctl(line.keepFd.get(), FIONREAD, &pending) != 0 || pending == 0)) {
            return;
        }
        pollfd p{signals, POLLIN, 0};
        if (poll(&p, 1, 5) > 0) {
            return;
        }
    }
}

}  // namespace

int RunSim(const SimOptions& options) {
    std::string error;
    File journalFile = OpenOutput(options.journal, error);
    File paperFile = OpenOutput(options.paper, error);
    if (!error.empty()) {
        (void)std::fprintf(stderr, "tallix-sim: %s\n", error.c_str());
        return 1;
    }

    SimLine line;
    const bool opened = options.port.empty()
                            ? OpenPty(line, options.lineSpeed(), error)
                            : OpenPort(line, options.port, options.lineSpeed(), error);
    if (!opened) {
        (void)std::fprintf(stderr, "tallix-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !MakeLink(options.link, line.devicePath, error)) {
        (void)std::fprintf(stderr, "tallix-sim: %s\n", error.c_str());
        CloseLine(line);
        return 1;
    }

    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGUSR1);
    // An ignored signal would never reach the signalfd: take them back first.
    (void)signal(SIGINT, SIG_DFL);
    (void)signal(SIGTERM, SIG_DFL);
    (void)signal(SIGUSR1, SIG_DFL);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    const UniqueFd signalFd(signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC));
    const int signals = signalFd.get();
    (void)signal(SIGPIPE, SIG_IGN);

    VirtualPrinter printer(
        options.printer, options.faults,
        [&journalFile](const std::string& text) { WriteFlushed(journalFile.get(), text + "\n"); },
        [&paperFile](const std::string& block) { WriteFlushed(paperFile.get(), block); }, WallTime);

    std::printf("ready %s\n",
                options.link.empty() ? line.devicePath.c_str() : options.link.c_str());
    (void)std::fflush(stdout);

    // Output pacing: on a pseudo-terminal --baud spaces the bytes as the line speed would; a
    // real port paces them itself.
    const bool pace = line.pty && options.baud > 0;
    const auto byteTime = pace ? std::chrono::nanoseconds(10'000'000'000LL / options.baud)
                               : std::chrono::nanoseconds(0);
    std::deque<Pending> queue;
    Clock::time_point nextByte = Clock::now();
    // On a pseudo-terminal the host's speed is a setting of the shared line. A real printer
    // hears garbage from a host at another speed: this one hears nothing then.
    const int64_t printerSpeed = options.lineSpeed();
    int64_t hostSpeed = printerSpeed;
    bool noisePending = false;
    bool lineIdle = false;  // a read failed: leave the line alone for a moment
    const char* endReason = "signal";

    while (true) {
        auto now = Clock::now();
        bool wantWrite = false;
        while (!queue.empty()) {
            Pending& front = queue.front();
            if (now < front.due || (pace && now < nextByte)) {
                break;
            }
            const std::size_t chunk = pace ? 1 : front.bytes.size() - front.sent;
            const ssize_t n = write(line.fd.get(), front.bytes.data() + front.sent, chunk);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    wantWrite = errno == EAGAIN;
                    break;
                }
                // Nobody can hear us; what we had to say is lost as on a cut line.
                queue.clear();
                break;
            }
            front.sent += static_cast<std::size_t>(n);
            nextByte = now + byteTime;
            if (front.sent == front.bytes.size()) {
                queue.pop_front();
            }
        }
        if (printer.hungUp() && queue.empty()) {
            LetTheHostRead(line, signals);
            endReason = "hangup";
            break;
        }

        // How long to wait: until the next byte is due, the quiet time for noise, or a signal.
        Clock::duration wait = std::chrono::hours(1);
        if (!queue.empty() && !wantWrite) {
            const auto due = std::max(queue.front().due, pace ? nextByte : queue.front().due);
            wait = std::max<Clock::duration>(due - now, Clock::duration::zero());
        }
        if (noisePending) {
            wait = std::min<Clock::duration>(wait, kQuiet);
        }
        if (lineIdle) {
            wait = std::min<Clock::duration>(wait, std::chrono::milliseconds(20));
        }
        pollfd fds[2] = {{signals, POLLIN, 0}, {line.fd.get(), 0, 0}};
        if (!lineIdle && !printer.hungUp()) {
            fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
        }
        const timespec timeout = ToTimespec(wait);
        const int ready = ppoll(fds, 2, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            (void)std::fprintf(stderr, "tallix-sim: poll failed\n");
            endReason = "error";
            break;
        }
        if (ready == 0) {
            if (noisePending) {
                printer.flush();
                noisePending = false;
            }
            lineIdle = false;
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (read(signals, &info, sizeof info) > 0) {
                // SIGUSR1: the printer is back; SIGINT and SIGTERM end it.
                if (info.ssi_signo != SIGUSR1) {
                    break;
                }
                if (!printer.hungUp()) {
                    printer.recover();
                }
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            uint8_t buffer[4096];
            const ssize_t n = read(line.fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                if (line.pty) {
                    const int64_t speed = GetLineSpeed(line.fd.get());
                    if (speed > 0 && speed != hostSpeed) {
                        hostSpeed = speed;
                        printer.hostSpeed(hostSpeed, hostSpeed == printerSpeed);
                    }
                }
                if (hostSpeed == printerSpeed) {
                    now = Clock::now();
                    for (auto& reply : printer.feed(buffer, static_cast<std::size_t>(n))) {
                        queue.push_back(Pending{std::move(reply.bytes), 0,
                                                now + std::chrono::milliseconds(reply.delayMs)});
                    }
                    noisePending = true;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                if (!line.pty) {
                    (void)std::fprintf(stderr, "tallix-sim: %s: read failed\n",
                                       line.devicePath.c_str());
                    endReason = "error";
                    break;
                }
                lineIdle = true;
            }
        }
    }

    printer.stop(endReason);
    CloseLine(line);
    if (!options.link.empty()) {
        RemoveLink(options.link, line.devicePath);
    }
    return std::string(endReason) == "error" ? 1 : 0;
}

}  // namespace tallix
