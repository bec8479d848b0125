#include "batch/ResultFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "config/FileSystem.h"
#include "config/Paths.h"

namespace tallix {
namespace {

struct Message {
    int32_t number;
    const char* text;
    bool setsFlag;
};

// Message number and text for a device error code; nothing for codes without a message.
std::optional<Message> Lookup(int32_t commandNumber, int32_t code) {
    switch (code) {
        case 0:
            return Message{0, "No error", false};
        case 1:
            return Message{1, "No printer response", true};
        case 2:
            return Message{9, "Error in previous command", true};
        case 3:
            return Message{10, "No receipt opened", true};
        case 4:
            return Message{12, "Fiscal receipt not opened", true};
        case 10:
            return Message{15, "Discount sum greater than sale", true};
        case 11:
            return Message{16, "Payment has passed", true};
        case 12:
            return Message{15, "Surcharge sum greater than sale", true};
        case 13:
            return Message{15, "Surcharge percent greater than 99.00%", true};
        case 14:
            return Message{15, "Discount percent greater than 99.00%", true};
        case 5005:
            return Message{21, "Syntax error", true};
        case 5007:
            return Message{8, "Date and Time not set", true};
        case 5008:
            return Message{55, "Command overflow", true};
        case 5009:
            return commandNumber == 48 ? Message{6, "Invalid operator's password", true}
                                       : Message{64, "Command not permited", true};
        case 5012:
            if (commandNumber == 54) {
                return std::nullopt;
            }
            return Message{3, "Non fiscal rotated receipt opened", true};
        case 5013:
            return Message{7, "No paper", true};
        case 5014:
            return Message{59, "Electronic journal full", true};
        case 5015:
            if (commandNumber == 49 || commandNumber == 51 || commandNumber == 53 ||
                commandNumber == 54) {
                return std::nullopt;
            }
            return Message{4, "Fiscal receipt opened", true};
        case 5017:
            if (commandNumber == 54) {
                return std::nullopt;
            }
            return Message{2, "Non fiscal receipt opened", true};
        case 5018:
            return Message{56, "Fiscal memory error", true};
        case 5019:
            return Message{57, "Fiscal memory invalid", true};
        case 5020:
            return Message{58, "Fiscal memory full", true};
        case 5021:
            return Message{60, "Fiscal memory readonly", true};
        case 5022:
            return Message{61, "Fiscal memory not formated", true};
        case 5023:
            return Message{62, "Last fiscal memory record invalid", true};
        case 5025:
            return Message{63, "VAT not set", true};
        case 5026:
            return Message{65, "Printer numbers not set", true};
        case 5027:
            return Message{5, "24 hours since last Z report has passed", true};
        case 5030:
            return Message{66, "Failure in printig mechanism", true};
        case 5031:
            return Message{67, "RAM failure after reset", true};
        case 5032:
            return Message{68, "Printer cover is open", true};
        case 5033:
            return Message{70, "Item PLU allready exists and has sales", true};
        case 5034:
            return Message{71, "Item PLU is not programed", false};
        case 5035:
            return Message{72, "No items found in the specified PLU range", false};
        default:
            return Message{code, "Error code", true};
    }
}

void AppendField(std::string& line, const std::string& field) {
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
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
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
    const std::optional<Message> message = Lookup(commandNumber, code);
    // A code without a message reads like a success: its command runs on as after one.
    const Message shown = message.value_or(Message{0, "No error", false});
    std::string& line = result.text;
    AppendField(line, std::to_string(commandNumber));
    AppendField(line, std::to_string(shown.number));
    AppendField(line, shown.text);
    if (commandNumber == 53 && code == 0) {
        AppendField(line, "");
    }
    line += '\n';
    result.setsFailureFlag = shown.setsFlag;
    return result;
}

int Responce(ResultFile& file, int32_t commandNumber, int32_t code, bool& failureFlag) {
    if (commandNumber == 0) {
        return kResponceOk;
    }
    const ResultLine line = FormatResultLine(commandNumber, code);
    if (line.setsFailureFlag) {
        failureFlag = true;
    }
    return file.Append(line.text) ? kResponceOk : kResponceWriteFailed;
}

}  // namespace tallix
