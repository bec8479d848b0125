#include "batch/CommandFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>

#include "batch/ExitCodes.h"
#include "config/Numbers.h"
#include "protocol/Windows1250.h"

namespace tallix {
namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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

CommandLines::CommandLines(std::string text) : text_(std::move(text)) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text_.find('\n', start);
        if (end == std::string::npos) {
            spans_.emplace_back(start, text_.size() - start);
            break;
        }
        spans_.emplace_back(start, end - start);
        start = end + 1;
    }
}

std::string_view CommandLines::operator[](std::size_t index) const {
    const auto& [offset, length] = spans_.at(index);
    return std::string_view(text_).substr(offset, length);
}

CommandFileRead ReadCommandFile(const std::string& path, std::size_t limit) {
    CommandFileRead result;
    result.status = kExitCommandFileFailed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        (S_ISREG(info.st_mode) && static_cast<uintmax_t>(info.st_size) > limit)) {
        ::close(fd);
        return result;
    }
    // Windows-1250 is one byte per character, so the file decodes chunk by chunk and the raw
    // bytes never need to be held whole besides the text.
    std::string text;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        text.reserve(static_cast<std::size_t>(info.st_size));  // exact for plain ASCII
    }
    std::string chunk(kReadChunk, '\0');
    bool anyBytes = false;
    // A file that grows while it is read, or a device that never ends, is cut off at the
    // first byte past the limit.
    std::size_t total = 0;
    for (;;) {
        const std::size_t left = limit - total;  // total never passes limit here
        const std::size_t room = left < chunk.size() ? left + 1 : chunk.size();
        const ssize_t got = ::read(fd, chunk.data(), room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return result;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
        if (total > limit) {
            ::close(fd);
            return result;
        }
        anyBytes = true;
        text += DecodeWindows1250(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
    ::close(fd);
    if (!anyBytes) {
        result.status = kExitCommandFileEmpty;
        return result;
    }
    result.status = kExitOk;
    result.lines = CommandLines(std::move(text));
    return result;
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

double ParseLeadingDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t begin = i;
    // Decimal magnitude of the mantissa's leading digit, to tell overflow from underflow.
    long long magnitude = 0;
    bool seenNonZero = false;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (seenNonZero || text[i] != '0') {
            if (seenNonZero) {
                ++magnitude;
            }
            seenNonZero = true;
        }
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction = i + 1;
        while (fraction < text.size() && IsDigit(text[fraction])) {
            if (!seenNonZero) {
                --magnitude;
                if (text[fraction] != '0') {
                    seenNonZero = true;
                }
            }
            ++fraction;
            ++digits;
        }
        i = fraction;
    }
    if (digits == 0 || !seenNonZero) {
        return 0.0;
    }
    // An exponent counts only when at least one digit follows its letter and sign.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t exponent = i + 1;
        bool negativeExponent = false;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            negativeExponent = text[exponent] == '-';
            ++exponent;
        }
        if (exponent < text.size() && IsDigit(text[exponent])) {
            long long value = 0;
            while (exponent < text.size() && IsDigit(text[exponent])) {
                if (value < 100000) {
                    value = value * 10 + (text[exponent] - '0');
                }
                ++exponent;
            }
            magnitude += negativeExponent ? -value : value;
            i = exponent;
        }
    }
    double value = 0.0;
    const char* first = text.data() + begin;
    const char* last = text.data() + i;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || end != last) {
        return 0.0;
    }
    return negative ? -value : value;
}

}  // namespace tallix
