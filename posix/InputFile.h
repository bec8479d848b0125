#pragma once

// A file read whole that need not be a regular file: a FIFO, a pipe named as /dev/stdin, a
// device. Opening never waits for a FIFO's writer; reading takes at most a limit of bytes, so a
// source that never ends (/dev/zero, a writer that never stops) ends the read; and a read that
// waits for data (a FIFO whose writer has not come, or has not written yet) also ends as soon
// as a stop descriptor becomes readable (a signalfd of the stop signals, an eventfd).

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "posix/UniqueFd.h"

namespace tallix {

enum class ReadEnd {
    Complete,  // every byte up to the end of the file
    Failed,    // it cannot be opened or read, or it is a folder; the error says why
    TooLong,   // it holds more bytes than the limit: reading stopped at the first one past it
    Stopped,   // the stop descriptor became readable while the read waited for data
};

class InputFile {
  public:
    // Opens path for reading without waiting for a writer; error() says why when it failed.
    explicit InputFile(const std::string& path);

    bool valid() const { return fd_.valid(); }
    int error() const { return error_; }
    bool regular() const { return valid() && S_ISREG(info_.st_mode); }
    // A regular file's size when it was opened; 0 for anything else.
    std::size_t size() const;

    // Reads up to length bytes into buffer; got: how many (0 at the end of the file, with
    // Complete). Waits while there is no data yet, until stopFd (-1: none) is readable.
    ReadEnd read(char* buffer, std::size_t length, std::size_t& got, int stopFd = -1);

  private:
    UniqueFd fd_;
    int error_ = 0;
    struct stat info_ {};
};

// The whole content of path, at most limit bytes, in bytes. A regular file is read into one
// block of its size, anything else in blocks put together at the end, so the peak memory
// stays within twice what was read. error: errno of a failure.
struct WholeFile {
    ReadEnd end = ReadEnd::Failed;
    int error = 0;
    std::string bytes;
};
WholeFile ReadWholeFile(const std::string& path, std::size_t limit, int stopFd = -1);

// Something exists at path and it is not a regular file (symbolic links followed): reading it
// may have to wait for a writer.
bool IsSpecialFile(const std::string& path);

}  // namespace tallix
