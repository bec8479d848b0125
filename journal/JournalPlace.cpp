#include "journal/JournalPlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "config/FileSystem.h"
#include "config/Paths.h"
#include "posix/ErrnoText.h"
#include "posix/Hex.h"

namespace tallix {
namespace {

constexpr std::size_t kLongestName = 64;

bool KeptAsIs(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

std::string OctalMode(mode_t mode) {
    char text[8];
    (void)std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Whether the file or folder that info describes belongs to another user;
// problem says why.
bool ForeignOwner(const struct stat& info, std::string& problem) {
    if (info.st_uid != ::geteuid()) {
        problem = "belongs to user " + std::to_string(info.st_uid) + ", not to this user (" +
                  std::to_string(::geteuid()) + ")";
        return true;
    }
    return false;
}

}  // namespace

std::string JournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return JoinPath(StandardizePath(state), "tallix");
    }
    const std::string home = HomeFolder();
    if (home.empty() || home[0] != '/') {
        return {};
    }
    return JoinPath(StandardizePath(home), ".local/state/tallix");
}

std::string SafePrinterName(std::string_view serialNumber) {
    std::string name;
    for (const char c : serialNumber) {
        if (KeptAsIs(c)) {
            name.push_back(c);
        } else {
            name.push_back('%');
            name += HexText(std::string_view(&c, 1), HexCase::kUpper);
        }
    }
    if (name.size() > kLongestName) {
        return {};
    }
    return name;
}

std::string JournalFileName(std::string_view serialNumber) {
    const std::string name = SafePrinterName(serialNumber);
    return name.empty() ? std::string() : name + ".journal";
}

std::string JournalPath(const std::string& folder, std::string_view serialNumber) {
    const std::string name = JournalFileName(serialNumber);
    if (folder.empty() || name.empty()) {
        return {};
    }
    return JoinPath(folder, name);
}

JournalOpening OpenJournalFolder(const std::string& folder) {
    JournalOpening opening;
    if (!IsDirectory(folder)) {
        std::string why;
        if (!CreateFolderChain(folder, &why, 0700)) {
            opening.problem = "cannot be opened for writing (" + why + ")";
            return opening;
        }
        // The new folder's entry made durable; a failure only weakens durability.
        const std::string parent = ParentFolder(folder);
        const UniqueFd above(
            ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (above) {
            (void)::fsync(above.get());
        }
    }
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0) {
        opening.problem = "cannot be opened for writing (" + ErrnoText(errno) + ")";
        return opening;
    }
    // The descriptor is checked, not the path: what was checked is what the files are made in.
    if (ForeignOwner(info, opening.problem)) {
        opening.distrusted = true;
        return opening;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        opening.distrusted = true;
        opening.problem = "can be written by other users (mode " + OctalMode(info.st_mode) + ")";
        return opening;
    }
    opening.fd = std::move(fd);
    return opening;
}

JournalOpening OpenJournalFile(int folder, const std::string& name) {
    JournalOpening opening;
    UniqueFd fd(::openat(folder, name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd) {
        const int error = errno;
        if (error == ENOENT) {
            opening.missing = true;
        } else if (error == ELOOP) {
            opening.distrusted = true;
            opening.problem = "is a symbolic link";
        } else {
            opening.problem = "cannot be opened for writing (" + ErrnoText(error) + ")";
        }
        return opening;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        opening.problem = "is not a regular file";
        return opening;
    }
    if (ForeignOwner(info, opening.problem)) {
        opening.distrusted = true;
        return opening;
    }
    opening.fd = std::move(fd);
    return opening;
}

UniqueFd ReplaceJournalFile(int folder, const std::string& name, std::string_view bytes,
                            std::string& problem) {
    const std::string temporary = "." + name + ".new";
    (void)::unlinkat(folder, temporary.c_str(), 0);
    UniqueFd fd(::openat(folder, temporary.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        problem = temporary + ": " + ErrnoText(errno);
        return {};
    }
    if (!WriteAt(fd.get(), bytes, 0) || ::fsync(fd.get()) != 0 ||
        ::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        problem = temporary + ": " + ErrnoText(errno);
        (void)::unlinkat(folder, temporary.c_str(), 0);
        return {};
    }
    // The rename made durable; a failure here no longer affects the content.
    (void)::fsync(folder);
    return fd;
}

bool WriteAt(int fd, std::string_view bytes, std::size_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace tallix
