#pragma once

// The text of an errno value.

#include <string>

namespace tallix {

// strerror for error, safe from any thread: "Permission denied".
std::string ErrnoText(int error);

}  // namespace tallix
