#include "config/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "config/FileSystem.h"
#include "config/Paths.h"

namespace tallix {
namespace {

bool Fail(std::string* errorText, const std::string& what, int error) {
    if (errorText != nullptr) {
        *errorText = what + ": " + ErrnoText(error);
    }
    return false;
}

// The file a write must replace: the target when path is a symbolic link, else path.
std::string ResolvedTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Opens a new temporary file beside target; fd < 0 when none could be made.
int OpenTemporary(const std::string& target, std::string& temporaryPath, mode_t mode) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::string folder = ParentFolder(target);
    if (folder.empty()) {
        folder = ".";
    }
    const std::string name = target.substr(target.find_last_of('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath =
            JoinPath(folder, "." + name + "." + std::to_string(generator() % 1000000000ULL));
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* errorText,
                         mode_t newFileMode) {
    const std::string target = ResolvedTarget(path);
    struct stat old {};
    const bool hadFile = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    std::string temporaryPath;
    const int fd = OpenTemporary(target, temporaryPath, newFileMode);
    if (fd < 0) {
        return Fail(errorText, target, errno);
    }
    bool ok = true;
    int error = 0;
    // The new file is made with newFileMode less the umask; an old file's bits are carried over.
    if (hadFile && ::fchmod(fd, old.st_mode & 07777) != 0) {
        ok = false;
    }
    if (ok && !WriteAll(fd, bytes)) {
        ok = false;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
    }
    if (!ok) {
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporaryPath.c_str());
        return Fail(errorText, temporaryPath, error);
    }
    // Make the rename itself durable; a failure here no longer affects the content.
    std::string folder = ParentFolder(target);
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace tallix
