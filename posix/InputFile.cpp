#include "posix/InputFile.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tallix {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

// Reads regular files: the first block holds the size found at open and one byte more, so a
// file that grew meanwhile is noticed.
ReadEnd ReadRegular(InputFile& file, std::size_t limit, std::string& bytes, int& error) {
    const std::size_t expected = file.size();
    if (expected > limit) {
        return ReadEnd::TooLong;
    }
    bytes.resize(expected + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > limit) {
                return ReadEnd::TooLong;
            }
            // Grown since it was opened: blocks as for a pipe from here.
            bytes.resize(done + std::min(kBlock, limit + 1 - done));
        }
        std::size_t got = 0;
        const ReadEnd end = file.read(bytes.data() + done, bytes.size() - done, got);
        if (end != ReadEnd::Complete) {
            error = file.error();
            return end;
        }
        if (got == 0) {
            bytes.resize(done);
            return ReadEnd::Complete;
        }
        done += got;
    }
}

// Reads anything else block by block; the blocks are put together once the end is known.
ReadEnd ReadStream(InputFile& file, std::size_t limit, int stopFd, std::string& bytes, int& error) {
    std::vector<std::string> blocks;
    std::size_t total = 0;
    std::string block;
    std::size_t filled = 0;
    for (;;) {
        if (filled == block.size()) {
            if (filled > 0) {
                blocks.push_back(std::move(block));
            }
            block.assign(kBlock, '\0');
            filled = 0;
        }
        // At most one byte past the limit is ever taken.
        const std::size_t room = std::min(block.size() - filled, limit + 1 - total);
        std::size_t got = 0;
        const ReadEnd end = file.read(block.data() + filled, room, got, stopFd);
        if (end != ReadEnd::Complete) {
            error = file.error();
            return end;
        }
        if (got == 0) {
            break;
        }
        filled += got;
        total += got;
        if (total > limit) {
            return ReadEnd::TooLong;
        }
    }
    block.resize(filled);
    if (blocks.empty()) {
        bytes = std::move(block);
        return ReadEnd::Complete;
    }
    bytes.clear();
    bytes.reserve(total);
    for (std::string& full : blocks) {
        bytes += full;
        std::string().swap(full);  // each block goes as soon as it is copied
    }
    bytes += block;
    return ReadEnd::Complete;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    if (!fd_) {
        error_ = errno;
        return;
    }
    if (::fstat(fd_.get(), &info_) != 0) {
        error_ = errno;
        fd_.reset();
        return;
    }
    if (S_ISDIR(info_.st_mode)) {
        error_ = EISDIR;
        fd_.reset();
    }
}

std::size_t InputFile::size() const {
    return regular() && info_.st_size > 0 ? static_cast<std::size_t>(info_.st_size) : 0;
}

ReadEnd InputFile::read(char* buffer, std::size_t length, std::size_t& got, int stopFd) {
    got = 0;
    if (!fd_) {
        return ReadEnd::Failed;
    }
    for (;;) {
        // Anything but a regular file is waited on first: a FIFO whose writer has not come yet
        // reads as ended, while poll waits for the writer (and then for its data or its end).
        if (!regular()) {
            pollfd waits[2] = {{fd_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
            if (::poll(waits, stopFd >= 0 ? 2 : 1, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = errno;
                return ReadEnd::Failed;
            }
            if (stopFd >= 0 && (waits[1].revents & POLLIN) != 0) {
                return ReadEnd::Stopped;
            }
        }
        const ssize_t count = ::read(fd_.get(), buffer, length);
        if (count >= 0) {
            got = static_cast<std::size_t>(count);
            return ReadEnd::Complete;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = errno;
            return ReadEnd::Failed;
        }
    }
}

WholeFile ReadWholeFile(const std::string& path, std::size_t limit, int stopFd) {
    WholeFile whole;
    InputFile file(path);
    if (!file.valid()) {
        whole.error = file.error();
        return whole;
    }
    whole.end = file.regular() ? ReadRegular(file, limit, whole.bytes, whole.error)
                               : ReadStream(file, limit, stopFd, whole.bytes, whole.error);
    if (whole.end != ReadEnd::Complete) {
        std::string().swap(whole.bytes);
    }
    return whole;
}

bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace tallix
