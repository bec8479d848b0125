#include "posix/ErrnoText.h"

#include <cstring>

namespace tallix {

std::string ErrnoText(int error) {
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not be in buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace tallix
