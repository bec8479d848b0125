#pragma once

// The few file-system services the program needs, on POSIX calls.

#include <sys/types.h>

#include <string>

namespace tallix {

// Something exists at path (symbolic links followed).
bool Exists(const std::string& path);

// A folder exists at path (symbolic links followed).
bool IsDirectory(const std::string& path);

// The two paths name one file: the same text, or the same device and inode (hard and
// symbolic links and other spellings of the path followed).
bool SameFile(const std::string& first, const std::string& second);

// Creates the folder and every missing folder above it (mode before the umask, 0777 unless
// given). True when the folder exists afterwards; otherwise errorText (when given) says which
// folder could not be made and why.
bool CreateFolderChain(const std::string& path, std::string* errorText = nullptr,
                       mode_t mode = 0777);

// Creates an empty regular file, mode 0666 before the umask; fails when anything exists at
// path already. errorText (when given) says why it failed.
bool CreateEmptyFile(const std::string& path, std::string* errorText = nullptr);

}  // namespace tallix
