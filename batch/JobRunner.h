#pragma once

// The job runner: one job, line by line, in one visible order. For each line:
//   1. the job journal is told the line starts (its "in flight" record begins to sync);
//   2. the command text, from the device's command for the line (batch/CommandTable.h);
//   3. Wake: the printer's counter s;
//   4. the journal makes "line k in flight at counter s" durable;
//   5. Deliver: the frame, and what became of it (executed, not executed, unknown);
//   6. the journal is told "done" (with the counter after) or "failed" (a frame whose fate is
//      unknown stays in flight on disk, for the next run to decide by the counter);
//   7. the result line, to a sink.
// Whether the remaining lines are still sent is decided here, and only here. The rule that no
// line is executed twice rests on step 4 coming after step 3 and before step 5: a run killed at
// any point leaves a journal that names the line whose frame may have gone out and the counter
// before it, and a later run sends that line again only when the counter shows it was not
// executed (journal/ResumePlan.h, protocol/CommandExchange.cpp).
//
// It lives in batch/ because it joins what only batch/ may join: the device operations, the
// job journal and the result lines. The printer service runs its jobs through it too, with its
// own sink, so it assumes no result file on disk.

#include <cstdint>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "device/PrinterCommand.h"

namespace tallix {

class Device;
class ResultFile;

class JobJournal;

// The slowest answer the device saw, in the journal's milliseconds.
int32_t SlowestMilliseconds(const Device& device);

// Steps 3 to 6 for one command on device, the journal (when given) told each step: the line's
// code (kCodeDone, kCodeFailed, kCodeSyntaxError for a refused command, which is not sent).
int32_t ExchangeCommand(Device& device, const PrinterCommand& command, JobJournal* journal);

// Where result lines go: a result file in a batch run, anything else elsewhere.
class ResultSink {
  public:
    ResultSink() = default;
    virtual ~ResultSink() = default;
    ResultSink(const ResultSink&) = delete;
    ResultSink& operator=(const ResultSink&) = delete;
    ResultSink(ResultSink&&) = delete;
    ResultSink& operator=(ResultSink&&) = delete;

    // The result of one line with a command number other than 0. False when it could not be
    // kept: the job then stops without another line.
    virtual bool Result(int32_t commandNumber, int32_t code) = 0;
};

// The result lines appended to an open result file.
class ResultFileSink final : public ResultSink {
  public:
    explicit ResultFileSink(ResultFile& file) : file_(file) {}
    bool Result(int32_t commandNumber, int32_t code) override;

  private:
    ResultFile& file_;
};

class JobRunner {
  public:
    JobRunner(Device& device, ResultSink& sink, CommandRun& run)
        : device_(device), sink_(sink), run_(run) {}

    // Runs the lines as ExecuteCommandLines describes (batch/CommandDispatch.h).
    bool Run(const CommandLines& lines);

  private:
    // The code line index answers with; sends its command unless an earlier line stopped the
    // job or an earlier run decided it.
    int32_t Answer(std::size_t index, const CommandLine& line);

    Device& device_;
    ResultSink& sink_;
    CommandRun& run_;
    bool stopped_ = false;  // a line's result stops the job: later lines are not sent
    int32_t lastCode_ = 0;  // what a line that executes nothing answers
};

}  // namespace tallix
