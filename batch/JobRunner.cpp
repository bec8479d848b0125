#include "batch/JobRunner.h"

#include <string>

#include "batch/ResultFile.h"
#include "batch/ResultMessages.h"
#include "device/Device.h"
#include "journal/JobJournal.h"
#include "protocol/Windows1250.h"

namespace tallix {

bool ResultFileSink::Result(int32_t commandNumber, int32_t code) {
    return file_.Append(FormatResultLine(commandNumber, code).text);
}

bool JobRunner::Run(const CommandLines& lines) {
    run_.finished = false;
    stopped_ = false;
    lastCode_ = kCodeDone;
    CommandLines::Cursor cursor(lines);
    for (std::size_t index = 0; const std::optional<std::string_view> bytes = cursor.next();
         ++index) {
        if (bytes->empty()) {
            continue;
        }
        if (run_.stop && run_.stop()) {
            return true;
        }
        const std::string text = DecodeWindows1250(*bytes);
        const CommandLine line(text);
        const int32_t code = Answer(index, line);
        if (line.commandNumber() == 0) {
            continue;  // executes nothing and has no result line
        }
        // The one place that decides whether the remaining lines are still sent.
        stopped_ = stopped_ || StopsLaterLines(line.commandNumber(), code);
        if (!sink_.Result(line.commandNumber(), code)) {
            return false;
        }
    }
    run_.finished = !stopped_;
    return true;
}

int32_t JobRunner::Answer(std::size_t index, const CommandLine& line) {
    if (index < run_.firstLine) {
        // Done by an earlier run, which answered it as done: no earlier line had failed.
        return kCodeDone;
    }
    if (index == run_.firstLine && run_.firstLineUndecided) {
        return kCodeFailed;
    }
    if (stopped_) {
        return kCodeSkippedAfterFailure;
    }
    JobJournal* journal = run_.journal;
    if (journal != nullptr) {
        journal->LineStarting(index, MaySendCommand(line.commandNumber()));
    }
    // A line that executes nothing keeps the last code, which is still kCodeDone: any other
    // code has stopped the job already.
    lastCode_ = DispatchCommand(device_, line).value_or(lastCode_);
    if (journal != nullptr) {
        if (lastCode_ == kCodeDone) {
            journal->LineDone(device_.LastSequence());
        } else {
            journal->LineFailed();
        }
    }
    return lastCode_;
}

}  // namespace tallix
