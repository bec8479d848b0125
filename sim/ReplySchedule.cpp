#include "sim/ReplySchedule.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tallix {

void ReplySchedule::add(Reply reply, Clock::time_point now) {
    auto due = now + std::chrono::milliseconds(reply.delayMs);
    if (!reply.detached) {
        due = std::max(due, lastInOrder_);
        lastInOrder_ = due;
    }
    waiting_.emplace(due, Pending{std::move(reply.bytes), 0});
}

bool ReplySchedule::write(int fd, Clock::time_point now) {
    const bool pace = byteTime_.count() > 0;
    while (true) {
        if (!current_) {
            if (waiting_.empty() || waiting_.begin()->first > now) {
                return false;
            }
            current_ = std::move(waiting_.begin()->second);
            waiting_.erase(waiting_.begin());
        }
        if (pace && now < nextByte_) {
            return false;
        }
        const std::size_t chunk = pace ? 1 : current_->bytes.size() - current_->sent;
        const ssize_t n = ::write(fd, current_->bytes.data() + current_->sent, chunk);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                return errno == EAGAIN;
            }
            current_.reset();
            waiting_.clear();
            return false;
        }
        current_->sent += static_cast<std::size_t>(n);
        nextByte_ = now + byteTime_;
        if (current_->sent == current_->bytes.size()) {
            current_.reset();
        }
    }
}

std::optional<ReplySchedule::Clock::time_point> ReplySchedule::nextDue() const {
    if (current_) {
        return nextByte_;
    }
    if (waiting_.empty()) {
        return std::nullopt;
    }
    return std::max(waiting_.begin()->first, nextByte_);
}

}  // namespace tallix
