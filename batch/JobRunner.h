#pragma once

// The job runner: one job, line by line, in one visible order. For each line: the command it
// gives (batch/CommandTable.h, through the device operations), the job journal told that the
// line starts, the exchange on the printer (whose wake-up, before the frame, makes "line k in
// flight at counter s" durable), the journal told "done" or "failed", then the result line to
// a sink. Whether the remaining lines are still sent is decided here, and only here.
//
// It lives in batch/ because it joins what only batch/ may join: the device operations, the
// job journal and the result lines. The printer service runs its jobs through it too, with its
// own sink, so it assumes no result file on disk.

#include <cstdint>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"

namespace tallix {

class Device;
class ResultFile;

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
