// The preferences file on disk: location, preparation, reading and atomic replacement.

#include "config/Preferences.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <optional>
#include <utility>

#include "config/AtomicFile.h"
#include "config/FileSystem.h"
#include "config/KeptCopy.h"
#include "config/Paths.h"
#include "posix/InputFile.h"
#include "posix/SystemLog.h"

namespace tallix {
namespace {

constexpr const char* kLocation = "~/Library/Preferences/com.veltra.tallix.xml";

// To the system log and to standard error (only the set-up window logs it).
void LogFolderFailure(const std::string& reason) {
    const std::string line = "Failed making folder: " + reason;
    LogToSystem(line);
    (void)std::fprintf(stderr, "%s\n", line.c_str());
}

// A regular file's bytes, parsed where they were read: the file is held in memory once.
PreferencesDocument ReadDocument(InputFile& file) {
    const std::size_t size = file.size();
    if (size == 0) {
        return nullptr;  // an empty file holds no document
    }
    auto* bytes = static_cast<char*>(pugi::get_memory_allocation_function()(size));
    if (bytes == nullptr) {
        return nullptr;
    }
    std::size_t done = 0;
    while (done < size) {
        std::size_t got = 0;
        if (file.read(bytes + done, size - done, got) != ReadEnd::Complete) {
            pugi::get_memory_deallocation_function()(bytes);
            return nullptr;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return ParseInPlace(bytes, done);
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
    // Opening never waits for a FIFO's writer, and only a regular file is read.
    InputFile file(path_);
    if (!file.regular() || file.size() > kPreferencesLimit) {
        return nullptr;
    }
    return ReadDocument(file);
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
