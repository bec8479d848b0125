#include "config/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "config/Paths.h"
#include "posix/ErrnoText.h"
#include "posix/ReadWrite.h"
#include "posix/SyncFolder.h"
#include "posix/UniqueFd.h"

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

// The process's file mode creation mask, read without changing it where the kernel tells it
// (a umask() round trip would race with files other threads create meanwhile).
mode_t CurrentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned int mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        (void)std::fclose(status);
        if (found) {
            return static_cast<mode_t>(mask);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Creates a new temporary file beside target, named ".<name>.XXXXXX" with a unique ending;
// an invalid descriptor when none could be made.
UniqueFd OpenTemporary(const std::string& target, std::string& temporaryPath) {
    std::string folder = ParentFolder(target);
    if (folder.empty()) {
        folder = ".";
    }
    const std::string name = target.substr(target.find_last_of('/') + 1);
    temporaryPath = JoinPath(folder, "." + name + ".XXXXXX");
    return UniqueFd(::mkostemp(temporaryPath.data(), O_CLOEXEC));
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* errorText,
                         mode_t newFileMode) {
    const std::string target = ResolvedTarget(path);
    struct stat old {};
    const bool hadFile = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    std::string temporaryPath;
    UniqueFd fd = OpenTemporary(target, temporaryPath);
    if (!fd) {
        return Fail(errorText, target, errno);
    }
    bool ok = true;
    int error = 0;
    // The temporary file starts as 0600: an old file's bits are carried over, a new file gets
    // newFileMode less the umask, as if it had been created in place.
    const mode_t mode = hadFile ? (old.st_mode & 07777) : (newFileMode & 07777 & ~CurrentUmask());
    if (::fchmod(fd.get(), mode) != 0) {
        ok = false;
    }
    if (ok && !WriteAll(fd.get(), bytes)) {
        ok = false;
    }
    if (ok && ::fsync(fd.get()) != 0) {
        ok = false;
    }
    if (!ok) {
        error = errno;
    }
    if (!fd.close() && ok) {
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
    SyncFolder(ParentFolder(target));
    return true;
}

}  // namespace tallix
