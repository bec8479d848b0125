#pragma once

// Whole reads and writes on a descriptor: short counts and interrupted calls are taken care
// of here, so callers see all or a failure.

#include <sys/types.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tallix {

// Reads from fd's position until the end of the file or until limit bytes have come;
// nothing on a read error (errno tells it).
std::optional<std::string> ReadAll(int fd,
                                   std::size_t limit = std::numeric_limits<std::size_t>::max());

// Writes all of bytes at fd's position (or its end, when fd appends). False on the first
// failure, with errno set (EIO when the descriptor takes nothing).
bool WriteAll(int fd, std::string_view bytes);

// The same at offset, leaving fd's position alone.
bool WriteAllAt(int fd, std::string_view bytes, off_t offset);

}  // namespace tallix
