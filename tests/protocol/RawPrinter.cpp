#include "tests/protocol/RawPrinter.h"

#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "protocol/Checksum.h"

namespace tallix::test {

RawPrinter::RawPrinter() {
    char name[PATH_MAX] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    path_ = name;
    wake_ = eventfd(0, EFD_CLOEXEC);
    wakeUpHandler_ = [](int, const std::string&, int& sequence) { return DefaultAnswer(sequence); };
    frameHandler_ = [](int, const std::string&, int& sequence) {
        ++sequence;
        return Bytes{0x06};
    };
    thread_ = std::thread([this] { run(); });
}

RawPrinter::~RawPrinter() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
        thread_.join();
    }
    for (int fd : {master_, slave_, wake_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void RawPrinter::onWakeUp(WakeUpHandler handler) {
    std::lock_guard lock(mutex_);
    wakeUpHandler_ = std::move(handler);
}

void RawPrinter::onFrame(FrameHandler handler) {
    std::lock_guard lock(mutex_);
    frameHandler_ = std::move(handler);
}

Bytes RawPrinter::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

int RawPrinter::wakeUps() const {
    std::lock_guard lock(mutex_);
    return wakeUps_;
}

int RawPrinter::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<std::string> RawPrinter::frameTexts() const {
    std::lock_guard lock(mutex_);
    return frameTexts_;
}

int RawPrinter::sequence() const {
    std::lock_guard lock(mutex_);
    return sequence_;
}

bool RawPrinter::waitForBytes(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

Bytes RawPrinter::AnswerFrame(std::string_view text, bool goodChecksum) {
    Bytes frame;
    frame.reserve(text.size() + 4);
    frame.push_back(0x0A);
    for (const char c : text) {
        frame.push_back(static_cast<uint8_t>(c));
    }
    frame.push_back(0x0D);
    uint16_t crc = CalculateCrC(frame.data() + 1, static_cast<int>(frame.size()) - 1);
    if (!goodChecksum) {
        crc ^= 0x0101;
    }
    frame.push_back(HIBYTE(crc));
    frame.push_back(LOBYTE(crc));
    return frame;
}

Bytes RawPrinter::DefaultAnswer(int sequence) {
    return AnswerFrame("TX00000001;" + std::to_string(sequence) + ";");
}

Bytes RawPrinter::Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes RawPrinter::Repeat(uint8_t byte, std::size_t count) {
    return Bytes(count, byte);
}

void RawPrinter::run() {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
    uint8_t chunk[512];
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) {
            // No host on the line at the moment (EIO): wait for it without spinning hard.
            poll(&fds[1], 1, 5);
            if ((fds[1].revents & POLLIN) != 0) {
                return;
            }
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            consume(chunk[i]);
        }
    }
}

void RawPrinter::consume(uint8_t byte) {
    Bytes answer;
    {
        std::lock_guard lock(mutex_);
        received_.push_back(byte);
        switch (state_) {
            case State::Idle:
                if (byte == 0x11) {
                    state_ = State::Dc1;
                } else if (byte == 0x0A) {
                    state_ = State::Frame;
                    pending_.clear();
                }
                break;
            case State::Dc1:
                state_ = byte == 0x11 ? State::Id : State::Idle;
                pending_.clear();
                break;
            case State::Id:
                pending_.push_back(static_cast<char>(byte));
                if (pending_.size() == 2) {
                    state_ = State::Idle;
                    answer = wakeUpHandler_(wakeUps_++, pending_, sequence_);
                }
                break;
            case State::Frame:
                if (byte == 0x0D) {
                    state_ = State::Checksum;
                    checksumBytes_ = 0;
                } else {
                    pending_.push_back(static_cast<char>(byte));
                }
                break;
            case State::Checksum:
                if (++checksumBytes_ == 2) {
                    state_ = State::Idle;
                    frameTexts_.push_back(pending_);
                    answer = frameHandler_(frames_++, pending_, sequence_);
                }
                break;
        }
    }
    arrived_.notify_all();
    reply(answer);
}

void RawPrinter::reply(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace tallix::test
