// The preferences file on disk: location, preparation, reading and atomic replacement.

#include "config/Preferences.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "config/AtomicFile.h"
#include "config/FileSystem.h"
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
