// The preferences file on disk: location, preparation, reading and atomic replacement.

#include "config/Preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <utility>

#include "config/AtomicFile.h"
#include "config/FileSystem.h"
#include "config/Paths.h"
#include "posix/ReadWrite.h"
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
    std::optional<std::string> content = ReadAll(fd.get());
    if (!content) {
        return false;
    }
    bytes = std::move(*content);
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

bool Preferences::write(const pugi::xml_document& document) const {
    return WriteFileAtomically(path_, Serialize(document));
}

PreferencesDocument Preferences::writeStartUpDocument() const {
    PreferencesDocument document = StartUpDocument();
    write(*document);
    return document;
}

bool Preferences::storeEntry(const DeviceEntry& entry) const {
    prepare(FolderFailureLog::Log);
    PreferencesDocument document = read();
    if (!document) {
        document = NewEntryDocument();
    }
    StoreEntry(*document, entry);
    return write(*document);
}

bool Preferences::setDefault(const std::string& key) const {
    prepare(FolderFailureLog::Silent);
    PreferencesDocument document = read();
    if (!document || !SetDefaultKey(*document, key)) {
        return false;
    }
    return write(*document);
}

}  // namespace tallix
