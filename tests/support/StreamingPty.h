#pragma once

// A device that never falls silent: a pseudo-terminal whose far end sends bytes without end,
// either paced (bytes per second, as a line at a wrong speed or a chattering printer would) or
// as fast as the line takes them (as /dev/zero would). It records what the host writes.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tallix::test {

class StreamingPty {
  public:
    // bytesPerSecond 0: as fast as the line takes them.
    explicit StreamingPty(int bytesPerSecond, uint8_t byte = 0x55);
    ~StreamingPty();
    StreamingPty(const StreamingPty&) = delete;
    StreamingPty& operator=(const StreamingPty&) = delete;

    // Device node the host opens; empty when no pseudo-terminal could be made.
    const std::string& path() const { return path_; }
    std::vector<uint8_t> received() const;
    // Stops sending and closes the far end: the host's line hangs up.
    void hangUp();
    long long sent() const { return sent_.load(); }

  private:
    void run(int bytesPerSecond, uint8_t byte);

    std::string path_;
    int master_ = -1;
    int slave_ = -1;
    int stop_ = -1;  // eventfd that ends the thread
    std::atomic<long long> sent_{0};
    mutable std::mutex mutex_;
    std::vector<uint8_t> received_;
    std::thread thread_;
};

}  // namespace tallix::test
