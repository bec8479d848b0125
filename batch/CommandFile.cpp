#include "batch/CommandFile.h"

#include <algorithm>
#include <cerrno>

#include "batch/ExitCodes.h"
#include "config/Numbers.h"
#include "posix/ErrnoText.h"
#include "posix/InputFile.h"

namespace tallix {
namespace {

// Length of the newline character that ends text, 0 when it ends in none.
std::size_t NewlineAtEnd(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const char last = text.back();
    if (last == '\n' || last == '\v' || last == '\f' || last == '\r') {
        return 1;
    }
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\xC2\x85") {  // U+0085
        return 2;
    }
    if (text.size() >= 3 && (text.substr(text.size() - 3) == "\xE2\x80\xA8" ||   // U+2028
                             text.substr(text.size() - 3) == "\xE2\x80\xA9")) {  // U+2029
        return 3;
    }
    return 0;
}

// Length of the newline character that starts text, 0 when it starts with none.
std::size_t NewlineAtStart(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const char first = text.front();
    if (first == '\n' || first == '\v' || first == '\f' || first == '\r') {
        return 1;
    }
    if (text.substr(0, 2) == "\xC2\x85") {
        return 2;
    }
    if (text.substr(0, 3) == "\xE2\x80\xA8" || text.substr(0, 3) == "\xE2\x80\xA9") {
        return 3;
    }
    return 0;
}

std::string_view StripQuotes(std::string_view field) {
    while (!field.empty() && field.front() == '"') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == '"') {
        field.remove_suffix(1);
    }
    return field;
}

}  // namespace

CommandLines::CommandLines(std::string bytes)
    : bytes_(std::move(bytes)),
      count_(1 + static_cast<std::size_t>(std::count(bytes_.begin(), bytes_.end(), '\n'))) {}

std::optional<std::string_view> CommandLines::Cursor::next() {
    if (!more_) {
        return std::nullopt;
    }
    const std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
        more_ = false;
        return rest_;
    }
    const std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    return line;
}

CommandFileRead ReadCommandFile(const std::string& path, std::size_t limit, int stopFd) {
    CommandFileRead result;
    result.status = kExitCommandFileFailed;
    // A file that grows while it is read, or a device that never ends, is cut off at the
    // first byte past the limit.
    WholeFile file = ReadWholeFile(path, limit, stopFd);
    if (file.end != ReadEnd::Complete) {
        result.stopped = file.end == ReadEnd::Stopped;
        result.error = file.end == ReadEnd::TooLong ? EFBIG : file.error;
        return result;
    }
    if (file.bytes.empty()) {
        result.status = kExitCommandFileEmpty;
        return result;
    }
    result.identity = IdentityOf(file.bytes);
    result.status = kExitOk;
    result.lines = CommandLines(std::move(file.bytes));
    return result;
}

std::string CommandFileProblem(const std::string& path, const CommandFileRead& read) {
    return read.error == 0 ? std::string()
                           : "the command file " + path + ": " + ErrnoText(read.error);
}

std::string_view TrimNewlines(std::string_view line) {
    for (std::size_t n = NewlineAtStart(line); n != 0; n = NewlineAtStart(line)) {
        line.remove_prefix(n);
    }
    for (std::size_t n = NewlineAtEnd(line); n != 0; n = NewlineAtEnd(line)) {
        line.remove_suffix(n);
    }
    return line;
}

CommandLine::CommandLine(std::string_view line) {
    const std::string_view trimmed = TrimNewlines(line);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = trimmed.find(';', start);
        if (end == std::string_view::npos) {
            fields_.push_back(trimmed.substr(start));
            break;
        }
        fields_.push_back(trimmed.substr(start, end - start));
        start = end + 1;
    }
}

std::string_view CommandLine::field(std::size_t index) const {
    return index < fields_.size() ? StripQuotes(fields_[index]) : std::string_view();
}

int32_t CommandLine::integer(std::size_t index) const {
    return ParseLeadingInt(field(index));
}

double CommandLine::decimal(std::size_t index) const {
    return ParseLeadingDecimal(field(index));
}
}  // namespace tallix
