#include "config/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "posix/ErrnoText.h"
#include "posix/UniqueFd.h"

namespace tallix {

bool Exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFile(const std::string& first, const std::string& second) {
    if (first == second) {
        return true;
    }
    struct stat one {};
    struct stat other {};
    return !first.empty() && !second.empty() && ::stat(first.c_str(), &one) == 0 &&
           ::stat(second.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

bool CreateFolderChain(const std::string& path, std::string* errorText, mode_t mode) {
    if (path.empty()) {
        if (errorText != nullptr) {
            *errorText = "empty folder path";
        }
        return false;
    }
    // Make each prefix that ends before a "/", then the whole path.
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') {
            continue;
        }
        const std::string prefix = path.substr(0, pos);
        if (prefix.back() == '/') {
            continue;
        }
        if (::mkdir(prefix.c_str(), mode) == 0) {
            continue;
        }
        const int error = errno;
        if (error == EEXIST && IsDirectory(prefix)) {
            continue;
        }
        if (errorText != nullptr) {
            *errorText = prefix + ": " + ErrnoText(error == EEXIST ? ENOTDIR : error);
        }
        return false;
    }
    return true;
}

bool CreateEmptyFile(const std::string& path, std::string* errorText) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) {
        if (errorText != nullptr) {
            *errorText = path + ": " + ErrnoText(errno);
        }
        return false;
    }
    return true;
}

}  // namespace tallix
