#pragma once

// The command file: Windows-1250 text, one command per line, fields separated by ";".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal/JobIdentity.h"

namespace tallix {

// A command file's bytes (Windows-1250), cut into lines at every line feed. A final line feed
// gives a last, empty line; empty lines are kept here and skipped by the command run. The
// bytes are held once, as read: lines are found as they are walked, and each one is decoded
// (DecodeWindows1250) only when it is run, so that a file of many short lines costs no more
// than its size.
class CommandLines {
  public:
    CommandLines() = default;
    explicit CommandLines(std::string bytes);

    std::size_t size() const { return count_; }

    // Walks the lines in order, each as cut, without its line feed and undecoded.
    class Cursor {
      public:
        explicit Cursor(const CommandLines& lines) : rest_(lines.bytes_), more_(lines.count_ > 0) {}
        // The next line; nothing after the last one.
        std::optional<std::string_view> next();

      private:
        std::string_view rest_;
        bool more_;
    };

  private:
    std::string bytes_;
    std::size_t count_ = 0;
};

// Largest command file a run takes: 64 MiB. A receipt is a few kilobytes; anything near this
// is a mistake, and a file that never ends (/dev/zero) must not grow the process without end.
constexpr std::size_t kCommandFileLimit = std::size_t{64} * 1024 * 1024;

// What reading a command file gave: status is kExitOk with the lines, kExitCommandFileFailed
// when the file is missing, unreadable, a folder or longer than limit bytes (reading stops
// at the first byte past the limit), kExitCommandFileEmpty when it holds no bytes. Bytes
// that Windows-1250 leaves undefined decode to U+0081 and so on; decoding never fails.
// Peak memory: the file's size, once (twice for a pipe, while its blocks are put together).
// identity is the hash of the file's bytes, which names its job in the job journal.
//
// A command file that is not a regular file (a FIFO, a pipe) is read as it comes: opening it
// never waits for a writer, and while the read waits for its writer or its data it also waits
// on stopFd (-1: none); when that becomes readable, the read ends with stopped and
// kExitCommandFileFailed.
//
// error is the errno of a failed read (EFBIG for a file past the limit), 0 otherwise.
struct CommandFileRead {
    int status = 0;
    bool stopped = false;
    int error = 0;
    CommandLines lines;
    JobIdentity identity;
};
CommandFileRead ReadCommandFile(const std::string& path, std::size_t limit = kCommandFileLimit,
                                int stopFd = -1);

// Why reading the command file at path failed, for the run's log line: "the command file PATH:
// Permission denied"; empty when read carries no error.
std::string CommandFileProblem(const std::string& path, const CommandFileRead& read);

// One non-empty line cut into fields at every ";" after its newline characters (LF, VT, FF,
// CR, U+0085, U+2028, U+2029) were trimmed from both ends. Quotes do not group: a ";" inside
// quotes still separates fields.
class CommandLine {
  public:
    explicit CommandLine(std::string_view line);

    std::size_t fieldCount() const { return fields_.size(); }
    // Field index with every '"' removed from both of its ends; "" past the last field.
    std::string_view field(std::size_t index) const;
    std::string text(std::size_t index) const { return std::string(field(index)); }
    // The decimal integer at the start of the field, saturated to 32 bits; 0 when none.
    int32_t integer(std::size_t index) const;
    // The decimal number at the start of the field; 0 when none (see ParseLeadingDecimal in
    // config/Numbers.h).
    double decimal(std::size_t index) const;
    int32_t commandNumber() const { return integer(0); }

  private:
    std::vector<std::string_view> fields_;
};

// Newline characters trimmed from both ends of a UTF-8 line; blanks and tabs stay.
std::string_view TrimNewlines(std::string_view line);

}  // namespace tallix
