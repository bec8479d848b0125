#pragma once

// Replacing a whole file so that readers see the old content or the new one, never a mixture.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tallix {

// Writes bytes to a temporary file in the folder of path, flushes it to the disk and renames
// it over path (the target of a symbolic link is the file replaced). An existing file keeps
// its permission bits; a new one gets newFileMode before the umask. On failure the old file is
// left untouched, no temporary file is left behind and errorText (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* errorText = nullptr, mode_t newFileMode = 0666);

}  // namespace tallix
