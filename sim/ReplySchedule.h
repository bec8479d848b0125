#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/VirtualPrinter.h"

namespace tallix {

// The replies waiting for their time on the printer's line. A reply goes out whole, not
// before its time: replies in order one after another (a reply whose time has come waits for
// the one caused before it), a detached reply at its own time, between them. With a byte
// time, the bytes are spaced as a line at that speed would space them.
class ReplySchedule {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ReplySchedule(std::chrono::nanoseconds byteTime) : byteTime_(byteTime) {}

    // Schedules a reply caused at now.
    void add(Reply reply, Clock::time_point now);
    // Writes what is due to the non-blocking fd. Returns true when the line would take no
    // more (wait for it to become writable); a line that fails otherwise drops everything,
    // as a cut line loses what was said into it.
    bool write(int fd, Clock::time_point now);
    // When the next byte is due; nothing when nothing waits.
    std::optional<Clock::time_point> nextDue() const;
    bool empty() const { return !current_ && waiting_.empty(); }

  private:
    struct Pending {
        std::vector<uint8_t> bytes;
        std::size_t sent = 0;
    };

    std::chrono::nanoseconds byteTime_;
    std::multimap<Clock::time_point, Pending> waiting_;  // equal times keep their order
    std::optional<Pending> current_;                     // the reply being written
    Clock::time_point lastInOrder_;                      // time of the last reply in order
    Clock::time_point nextByte_;
};

}  // namespace tallix
