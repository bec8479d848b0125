#pragma once

// The one owner of a file descriptor: it closes the descriptor when it goes, moves and never
// copies. Every layer holds its descriptors in one of these, so no path can leave one open or
// close it twice.

#include <unistd.h>

#include <utility>

namespace tallix {

class UniqueFd {
  public:
    UniqueFd() = default;
    // Takes fd (-1 for none).
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the descriptor up without closing it; -1 stays behind.
    int release() noexcept { return std::exchange(fd_, -1); }
    // Closes the descriptor held and takes fd; errors of close are not reported.
    void reset(int fd = -1) noexcept {
        const int old = std::exchange(fd_, fd);
        if (old >= 0) {
            (void)::close(old);
        }
    }
    // Closes now and tells whether close succeeded (errno says why not), for files whose
    // last write-back errors show only there. True when nothing was held.
    bool close() noexcept {
        const int old = release();
        return old < 0 || ::close(old) == 0;
    }

  private:
    int fd_ = -1;
};

}  // namespace tallix
