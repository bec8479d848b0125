#pragma once

// The command run: each line of a command file to one printer operation and one result line.

#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "batch/CommandFile.h"
#include "batch/CommandTable.h"
#include "batch/ResultFile.h"

namespace tallix {

class Device;
class JobJournal;

// Asked between the steps of a run: true when the run must stop there (a stop signal came).
// A step that waits for something else (a command file that is a FIFO, waiting for its writer)
// also waits on fd(): a descriptor that becomes readable once a stop is asked; -1 when there is
// none, and such a wait then ends only by itself.
class StopRequested {
  public:
    StopRequested() = default;
    // Any predicate is one, so that callers can pass a lambda.
    template <typename Asked>
    requires std::is_invocable_r_v<bool, Asked&> StopRequested(Asked asked, int fd = -1)
        : asked_(std::move(asked)), fd_(fd) {}

    explicit operator bool() const { return static_cast<bool>(asked_); }
    bool operator()() const { return asked_(); }
    int fd() const { return fd_; }

  private:
    std::function<bool()> asked_;
    int fd_ = -1;
};

// Device error codes that the command run itself produces.
constexpr int32_t kCodeDone = 0;
constexpr int32_t kCodeFailed = 1;               // sent, or tried, and not done
constexpr int32_t kCodeSkippedAfterFailure = 2;  // not sent: an earlier line failed
// Missing fields, a percentage out of range, or data the printer operation refused before
// sending anything (a number that is not finite or does not fit, a name that is too long).
constexpr int32_t kCodeSyntaxError = 5005;

// What one line asks of device, as batch/CommandTable.h describes it: the command to send;
// the code it gets without sending (kCodeSyntaxError, also for a line with too few fields); or
// nothing when the line executes nothing (a number not in the table, 69 with a number other
// than 0 or 2, 70 without exactly four fields). No traffic.
LineAction ActionFor(const Device& device, const CommandLine& line);

// Runs the action of one line on device in one call, as the job runner does without a journal
// (ExchangeCommand, batch/JobRunner.h): the code of what was executed (kCodeDone, kCodeFailed,
// kCodeSyntaxError); nothing when the line executes nothing.
std::optional<int32_t> DispatchCommand(Device& device, const CommandLine& line);

// A line with this command number may send a command to the printer (it is in the table);
// any other executes nothing.
bool MaySendCommand(int32_t commandNumber);

// How a command run continues a job, and what it reports back.
struct CommandRun {
    // Lines before it were done by an earlier run of the same job: each is answered as done
    // (exactly as that run answered it) and nothing is sent.
    std::size_t firstLine = 0;
    // Line firstLine may or may not have been executed by an earlier run: it is answered as
    // failed without being sent (so the lines after it are skipped).
    bool firstLineUndecided = false;
    // Told about every line that is run; nothing when the run keeps no journal.
    JobJournal* journal = nullptr;
    // Asked before every line (when given).
    StopRequested stop;
    // Set by the run: every line was processed without a failure.
    bool finished = false;
};

// Runs the lines in order through the job runner (batch/JobRunner.h), writing each one's
// result line before the next line is looked at. Empty lines are skipped. Once a result line
// reports a failure, no further command is sent: every later line is answered with
// kCodeSkippedAfterFailure. False as soon as a result line cannot be written; the remaining lines
// are then neither run nor answered. When stop (if given) answers true before a line, that line and
// the rest are neither run nor answered, and the result is true: every command sent has its line.
bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         const StopRequested& stop = {});
bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         CommandRun& run);

}  // namespace tallix
