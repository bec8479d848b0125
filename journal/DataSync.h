#pragma once

// An fdatasync started now and waited for later, so that the disk's flush runs while the
// caller waits on something else (the printer). It runs as kernel asynchronous I/O: no thread
// of the process's own is involved. Where the kernel cannot do it asynchronously, Start
// says so and the caller syncs the plain way.

#include <cstdint>

namespace tallix {

class DataSync {
  public:
    DataSync();
    ~DataSync();  // waits for a sync still running
    DataSync(const DataSync&) = delete;
    DataSync& operator=(const DataSync&) = delete;

    // Starts an fdatasync of fd. False when it cannot be started; nothing is pending then.
    bool Start(int fd);
    bool pending() const { return pending_; }
    // Waits for the started sync: true when it succeeded (or none was pending); false with
    // errno set when it failed.
    bool Wait();

  private:
    uint64_t context_ = 0;  // aio_context_t; 0 when the kernel gave none
    bool pending_ = false;
};

}  // namespace tallix
