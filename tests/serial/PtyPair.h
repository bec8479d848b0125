#pragma once

// A pseudo-terminal for the line tests: the test plays the far end on the master side and
// hands the slave's path to SerialManager.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "posix/UniqueFd.h"

namespace tallix::test {

class PtyPair {
  public:
    PtyPair() {
        int master = -1;
        int slave = -1;
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            master_.reset(master);
            // Only the port object keeps the slave open, as with a real device node.
            (void)UniqueFd(slave).close();
            path_ = name;
        }
    }

    bool ok() const { return master_.valid() && !path_.empty(); }
    const std::string& path() const { return path_; }
    int master() const { return master_.get(); }
    void closeMaster() { master_.reset(); }

    // The far end sends bytes; true when all went out.
    bool send(const std::vector<uint8_t>& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_.get(), bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool send(const std::string& text) const {
        return send(std::vector<uint8_t>(text.begin(), text.end()));
    }

    // The far end receives until it has count bytes or seconds have passed.
    std::vector<uint8_t> receive(size_t count, double seconds = 5.0) const {
        std::vector<uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(seconds));
        uint8_t chunk[4096];
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd in{master_.get(), POLLIN, 0};
            if (poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            const ssize_t n =
                ::read(master_.get(), chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

  private:
    UniqueFd master_;
    std::string path_;
};

}  // namespace tallix::test
