#include "posix/ReadWrite.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tallix {
namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

// Runs put(data, size, done) until all of bytes is written; put answers what write(2) does.
template <typename Put>
bool PutAll(std::string_view bytes, Put put) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = put(bytes.data() + done, bytes.size() - done, done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadAll(int fd, std::size_t limit) {
    std::string bytes;
    std::size_t done = 0;
    while (done < limit) {
        const std::size_t room = std::min(limit - done, kReadChunk);
        bytes.resize(done + room);
        const ssize_t got = ::read(fd, bytes.data() + done, room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

bool WriteAll(int fd, std::string_view bytes) {
    return PutAll(bytes, [fd](const char* data, std::size_t size, std::size_t /*done*/) {
        return ::write(fd, data, size);
    });
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    return PutAll(bytes, [fd, offset](const char* data, std::size_t size, std::size_t done) {
        return ::pwrite(fd, data, size, offset + static_cast<off_t>(done));
    });
}

}  // namespace tallix
