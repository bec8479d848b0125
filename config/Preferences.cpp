// The preferences file on disk: location, preparation, reading and atomic replacement.

#include "config/Preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "config/AtomicFile.h"
#include "config/FileSystem.h"
#include "config/KeptCopy.h"
#include "config/Paths.h"
#include "posix/SystemLog.h"
#include "posix/UniqueFd.h"

namespace tallix {
namespace {

constexpr const char* kLocation = "~/Library/Preferences/com.veltra.tallix.xml";

// To the system log and to standard error (only the set-up window logs it).
void LogFolderFailure(const std::string& reason) {
    const std::string line = "Failed making folder: " + reason;
    LogToSystem(line);
    (void)std::fprintf(stderr, "%s\n", line.c_str());
}

// The whole content of a regular file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    bytes.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (count == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    return true;
}

}  // namespace

std::string PreferencesPath() {
    return StandardizePath(kLocation);
}

Preferences::Preferences() : path_(PreferencesPath()) {}

Preferences::Preferences(std::string path) : path_(std::move(path)) {}

Preparation Preferences::prepare(FolderFailureLog log) const {
    if (Exists(path_)) {
        return Preparation::Present;
    }
    const std::string folder = ParentFolder(path_);
    if (!folder.empty() && !IsDirectory(folder)) {
        std::string reason;
        if (!CreateFolderChain(folder, &reason)) {
            if (log == FolderFailureLog::Log) {
                LogFolderFailure(reason);
            }
            return Preparation::CreationFailed;
        }
    }
    return CreateEmptyFile(path_) ? Preparation::CreatedEmpty : Preparation::CreationFailed;
}

PreferencesDocument Preferences::read() const {
    std::string bytes;
    if (!ReadWholeFile(path_, bytes)) {
        return nullptr;
    }
    return Parse(bytes);
}

FileChange Preferences::write(const pugi::xml_document& document) const {
    FileChange change;
    change.written = WriteFileAtomically(path_, Serialize(document), &change.error);
    return change;
}

FileChange Preferences::keepUnreadable() const {
    FileChange change;
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0 || (S_ISREG(info.st_mode) && info.st_size == 0)) {
        return change;  // nothing there, or nothing in it
    }
    if (!S_ISREG(info.st_mode)) {
        change.error = path_ + ": not a regular file";
        return change;
    }
    if (const std::optional<std::string> kept =
            KeepBeside(path_, std::time(nullptr), &change.error)) {
        change.keptAs = *kept;
    }
    return change;
}

// A replacement of an unreadable file: written only when the file was kept (or held nothing).
FileChange Preferences::replaceUnreadable(const pugi::xml_document& document) const {
    FileChange kept = keepUnreadable();
    if (!kept.error.empty()) {
        return kept;
    }
    FileChange change = write(document);
    change.keptAs = kept.keptAs;
    return change;
}

StartUp Preferences::startUp() const {
    prepare();
    StartUp start;
    start.document = read();
    if (!start.document) {
        start.document = StartUpDocument();
        start.change = replaceUnreadable(*start.document);
    }
    return start;
}

FileChange Preferences::storeEntry(const DeviceEntry& entry) const {
    prepare(FolderFailureLog::Log);
    PreferencesDocument document = read();
    if (document) {
        StoreEntry(*document, entry);
        return write(*document);
    }
    document = NewEntryDocument();
    StoreEntry(*document, entry);
    return replaceUnreadable(*document);
}

FileChange Preferences::setDefault(const std::string& key) const {
    prepare(FolderFailureLog::Silent);
    PreferencesDocument document = read();
    if (!document || !SetDefaultKey(*document, key)) {
        return {};
    }
    return write(*document);
}

}  // namespace tallix
