#include "batch/ResultFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "batch/CommandTable.h"
#include "batch/ResultMessages.h"
#include "config/FileSystem.h"
#include "config/Paths.h"
#include "posix/ReadWrite.h"

namespace tallix {
namespace {

void AppendField(std::string& line, std::string_view field) {
    line += '"';
    line += field;
    line += "\";";
}

}  // namespace

std::optional<ResultFile> ResultFile::Open(const std::string& path, int* error) {
    const auto fail = [error](int why) -> std::optional<ResultFile> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    if (path.empty()) {
        return fail(ENOENT);
    }
    if (!Exists(path)) {
        // Failures here show up when the open below fails.
        const std::string folder = ParentFolder(path);
        if (folder.empty() || IsDirectory(folder) || CreateFolderChain(folder)) {
            CreateEmptyFile(path);
        }
    }
    // Non-blocking, so that a FIFO nobody reads fails at once (ENXIO) instead of holding the
    // run, and the printer's port with it, until a reader comes. Writes block as usual.
    // Appending needs no seek, so pipes and terminals (/dev/stdout) get every line too.
    UniqueFd owned(::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC));
    if (!owned) {
        return fail(errno);
    }
    const int fd = owned.get();
    ResultFile file(std::move(owned));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return fail(errno);
    }
    // Old content must not survive in a regular file; devices such as /dev/null cannot be
    // truncated and need not be.
    struct stat info {};
    if (::ftruncate(fd, 0) != 0) {
        const int truncateError = errno;
        if (::fstat(fd, &info) != 0) {
            return fail(errno);
        }
        if (S_ISREG(info.st_mode)) {
            return fail(truncateError);
        }
    }
    return file;
}

bool ResultFile::Append(std::string_view bytes) {
    if (!fd_) {
        return false;
    }
    // A pipe may take a long line in parts.
    return WriteAll(fd_.get(), bytes);
}

bool ResultFile::WriteSerialNumber(const std::string& serialNumber) {
    return Append(serialNumber);
}

void ResultFile::Close() {
    fd_.reset();
}

ResultLine FormatResultLine(int32_t commandNumber, int32_t code) {
    ResultLine result;
    if (commandNumber == 0) {
        return result;
    }
    const ResultMessage message = MessageFor(commandNumber, code);
    std::string& line = result.text;
    AppendField(line, std::to_string(commandNumber));
    AppendField(line, std::to_string(message.number));
    AppendField(line, message.text);
    const CommandSpec* command = FindCommand(commandNumber);
    if (code == 0 && command != nullptr && command->emptyFieldAfterSuccess) {
        AppendField(line, "");
    }
    line += '\n';
    result.setsFailureFlag = StopsLaterLines(commandNumber, code);
    return result;
}

int Responce(ResultFile& file, int32_t commandNumber, int32_t code, bool& failureFlag) {
    if (commandNumber == 0) {
        return kResponceOk;
    }
    if (StopsLaterLines(commandNumber, code)) {
        failureFlag = true;
    }
    return file.Append(FormatResultLine(commandNumber, code).text) ? kResponceOk
                                                                   : kResponceWriteFailed;
}

}  // namespace tallix
