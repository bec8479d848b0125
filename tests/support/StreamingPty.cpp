#include "tests/support/StreamingPty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>

namespace tallix::test {

StreamingPty::StreamingPty(int bytesPerSecond, uint8_t byte) {
    char name[PATH_MAX] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    // The slave stays open here too, so the far end keeps sending while no host has the port.
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = name;
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this, bytesPerSecond, byte] { run(bytesPerSecond, byte); });
}

StreamingPty::~StreamingPty() {
    hangUp();
    if (stop_ >= 0) {
        ::close(stop_);
    }
}

void StreamingPty::hangUp() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(stop_, &one, sizeof one);
        thread_.join();
    }
    for (int* fd : {&master_, &slave_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

std::vector<uint8_t> StreamingPty::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void StreamingPty::run(int bytesPerSecond, uint8_t byte) {
    using Clock = std::chrono::steady_clock;
    // Paced: every millisecond what the rate gives for it, as evenly as a serial line would;
    // what the line would not take is dropped, so the far end never sends in bursts.
    const std::vector<uint8_t> chunk(4096, byte);
    const size_t perTick =
        bytesPerSecond > 0 ? std::max<size_t>(1, static_cast<size_t>(bytesPerSecond) / 1000) : 4096;
    auto next = Clock::now();
    uint8_t in[512];
    for (;;) {
        const auto now = Clock::now();
        if (bytesPerSecond == 0 || now >= next) {
            next =
                std::max(next, now - std::chrono::milliseconds(2)) + std::chrono::milliseconds(1);
            const ssize_t n = ::write(master_, chunk.data(), perTick);
            if (n > 0) {
                sent_ += n;
            }
        }
        pollfd fds[2] = {{stop_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (bytesPerSecond == 0) {
            fds[1].events |= POLLOUT;
        }
        if (poll(fds, 2, 1) > 0) {
            if ((fds[0].revents & POLLIN) != 0) {
                return;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                const ssize_t n = ::read(master_, in, sizeof in);
                if (n > 0) {
                    std::lock_guard lock(mutex_);
                    received_.insert(received_.end(), in, in + n);
                }
            }
        }
    }
}

}  // namespace tallix::test
