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
#include <memory>

#include "posix/UniqueFd.h"
#include "serial/Termios2Speed.h"
#include "sim/ReplySchedule.h"
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

// The signals that end the printer (SIGINT, SIGTERM) or bring it back (SIGUSR1), as a
// descriptor to poll.
UniqueFd SignalDescriptor() {
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
    UniqueFd fd(signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC));
    (void)signal(SIGPIPE, SIG_IGN);
    return fd;
}

// The printer on its line, from the ready line to the end.
class Session {
  public:
    Session(const SimOptions& options, SimLine& line, File& journal, File& paper)
        : line_(line),
          signals_(SignalDescriptor()),
          printer_(
              options.printer, options.faults,
              [&journal](const std::string& text) { WriteFlushed(journal.get(), text + "\n"); },
              [&paper](const std::string& block) { WriteFlushed(paper.get(), block); }, WallTime),
          // Output pacing: on a pseudo-terminal --baud spaces the bytes as the line speed
          // would; a real port paces them itself.
          schedule_(line.pty && options.baud > 0
                        ? std::chrono::nanoseconds(10'000'000'000LL / options.baud)
                        : std::chrono::nanoseconds(0)),
          printerSpeed_(options.lineSpeed()),
          hostSpeed_(printerSpeed_) {}

    // Serves until a signal, a hang-up or a failure; returns why it ended.
    std::string run();

  private:
    // How long to wait for the line or a signal.
    [[nodiscard]] Clock::duration waitTime(Clock::time_point now, bool wantWrite) const;
    // A signal came: false when it ends the printer.
    bool onSignal();
    // The line is readable: false when it failed for good.
    bool onInput();

    SimLine& line_;
    UniqueFd signals_;
    VirtualPrinter printer_;
    ReplySchedule schedule_;
    // On a pseudo-terminal the host's speed is a setting of the shared line. A real printer
    // hears garbage from a host at another speed: this one hears nothing then.
    int64_t printerSpeed_;
    int64_t hostSpeed_;
    bool noisePending_ = false;
    bool lineIdle_ = false;  // a read failed: leave the line alone for a moment
};

std::string Session::run() {
    std::string endReason = "signal";
    while (true) {
        const bool wantWrite = schedule_.write(line_.fd.get(), Clock::now());
        if (printer_.hungUp() && schedule_.empty()) {
            LetTheHostRead(line_, signals_.get());
            endReason = "hangup";
            break;
        }
        pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {line_.fd.get(), 0, 0}};
        if (!lineIdle_ && !printer_.hungUp()) {
            fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
        }
        const timespec timeout = ToTimespec(waitTime(Clock::now(), wantWrite));
        const int ready = ppoll(fds, 2, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            (void)std::fprintf(stderr, "tallix-sim: poll failed\n");
            endReason = "error";
            break;
        }
        if (ready == 0) {
            if (noisePending_) {
                printer_.flush();
                noisePending_ = false;
            }
            lineIdle_ = false;
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0 && !onSignal()) {
            break;
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !onInput()) {
            endReason = "error";
            break;
        }
    }
    printer_.stop(endReason);
    return endReason;
}

Clock::duration Session::waitTime(Clock::time_point now, bool wantWrite) const {
    // Until the next byte is due, the quiet time for noise, or a signal.
    Clock::duration wait = std::chrono::hours(1);
    if (const auto due = schedule_.nextDue(); due && !wantWrite) {
        wait = std::max<Clock::duration>(*due - now, Clock::duration::zero());
    }
    if (noisePending_) {
        wait = std::min<Clock::duration>(wait, kQuiet);
    }
    if (lineIdle_) {
        wait = std::min<Clock::duration>(wait, std::chrono::milliseconds(20));
    }
    return wait;
}

bool Session::onSignal() {
    signalfd_siginfo info{};
    if (read(signals_.get(), &info, sizeof info) <= 0) {
        return true;
    }
    // SIGUSR1: the printer is back; SIGINT and SIGTERM end it.
    if (info.ssi_signo != SIGUSR1) {
        return false;
    }
    if (!printer_.hungUp()) {
        printer_.recover();
    }
    return true;
}

bool Session::onInput() {
    uint8_t buffer[4096];
    const ssize_t n = read(line_.fd.get(), buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        if (!line_.pty) {
            (void)std::fprintf(stderr, "tallix-sim: %s: read failed\n", line_.devicePath.c_str());
            return false;
        }
        lineIdle_ = true;
        return true;
    }
    if (line_.pty) {
        const int64_t speed = GetLineSpeed(line_.fd.get());
        if (speed > 0 && speed != hostSpeed_) {
            hostSpeed_ = speed;
            printer_.hostSpeed(hostSpeed_, hostSpeed_ == printerSpeed_);
        }
    }
    if (hostSpeed_ == printerSpeed_) {
        const auto now = Clock::now();
        for (auto& reply : printer_.feed(buffer, static_cast<std::size_t>(n))) {
            schedule_.add(std::move(reply), now);
        }
        noisePending_ = true;
    }
    return true;
}

void Fail(const std::string& error) {
    (void)std::fprintf(stderr, "tallix-sim: %s\n", error.c_str());
}

}  // namespace

int RunSim(const SimOptions& options) {
    std::string error;
    File journalFile = OpenOutput(options.journal, error);
    File paperFile = OpenOutput(options.paper, error);
    if (!error.empty()) {
        Fail(error);
        return 1;
    }
    SimLine line;
    const bool opened = options.port.empty()
                            ? OpenPty(line, options.lineSpeed(), error)
                            : OpenPort(line, options.port, options.lineSpeed(), error);
    if (!opened) {
        Fail(error);
        return 1;
    }
    if (!options.link.empty() && !MakeLink(options.link, line.devicePath, error)) {
        Fail(error);
        CloseLine(line);
        return 1;
    }
    Session session(options, line, journalFile, paperFile);
    std::printf("ready %s\n",
                options.link.empty() ? line.devicePath.c_str() : options.link.c_str());
    (void)std::fflush(stdout);
    const std::string endReason = session.run();
    CloseLine(line);
    if (!options.link.empty()) {
        RemoveLink(options.link, line.devicePath);
    }
    return endReason == "error" ? 1 : 0;
}

}  // namespace tallix
