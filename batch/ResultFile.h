#pragma once

// The result file: one line per command line, or the printer's serial number alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "posix/UniqueFd.h"

namespace tallix {

// What Responce answers.
constexpr int kResponceOk = 0;
constexpr int kResponceWriteFailed = 100;

// An open result file (owns its descriptor; moves, does not copy).
class ResultFile {
  public:
    ResultFile() = default;

    // Creates the file when missing (and its folder chain; a path without a folder part
    // means the current folder), mode 0666 before the umask; an existing file keeps its
    // mode. Then opens it for writing without creating it and empties it. Nothing when it
    // cannot be opened or emptied, or when it is a FIFO that nobody reads; error (when given)
    // then gets the errno that says why (ENXIO for the FIFO, ENOENT for no path).
    static std::optional<ResultFile> Open(const std::string& path, int* error = nullptr);

    bool isOpen() const { return fd_.valid(); }
    // Appends bytes at the end (the file is open for appending, so pipes and terminals work
    // alike). False when any of it fails.
    bool Append(std::string_view bytes);
    // The serial-number-only content: the serial number as it is, nothing else.
    bool WriteSerialNumber(const std::string& serialNumber);
    void Close();

  private:
    explicit ResultFile(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

// The line that Responce writes for commandNumber and code ("" for command number 0; the
// message from batch/ResultMessages.h), and whether that code sets the failure flag
// (StopsLaterLines; false for command number 0).
struct ResultLine {
    std::string text;
    bool setsFailureFlag = false;
};
ResultLine FormatResultLine(int32_t commandNumber, int32_t code);

// Appends the result line of one command line. Sets failureFlag when the code calls for it
// (never clears it). kResponceOk when written or when there was nothing to write (command
// number 0), kResponceWriteFailed when writing failed.
int Responce(ResultFile& file, int32_t commandNumber, int32_t code, bool& failureFlag);

}  // namespace tallix
