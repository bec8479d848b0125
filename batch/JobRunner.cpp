#include "batch/JobRunner.h"

#include <algorithm>
#include <string>

#include "batch/CommandTable.h"
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
    const LineAction action = ActionFor(device_, line);
    if (action.command()) {
        lastCode_ = ExchangeCommand(device_, *action.command(), journal);
        return lastCode_;
    }
    // A line that sends nothing keeps the last code, which is still kCodeDone (any other code
    // has stopped the job already), and the counter stays as it was.
    lastCode_ = action.code().value_or(lastCode_);
    if (journal != nullptr) {
        if (lastCode_ == kCodeDone) {
            journal->LineDone(std::nullopt);
        } else {
            journal->LineFailed();
        }
    }
    return lastCode_;
}

int32_t ExchangeCommand(Device& device, const PrinterCommand& command, JobJournal* journal) {
    if (!command.valid()) {
        return kCodeSyntaxError;  // refused: nothing is sent
    }
    if (const WakeOutcome woken = device.Wake()) {
        const int32_t sequenceBefore = woken.answer->sequence;
        if (journal != nullptr) {
            journal->NoteSlowest(SlowestMilliseconds(device));
            journal->FrameComing(sequenceBefore);
        }
        const DeliveryOutcome delivered = device.Deliver(command, sequenceBefore);
        if (delivered.executed()) {
            if (journal != nullptr) {
                journal->LineDone(delivered.sequenceAfter);
            }
            return kCodeDone;
        }
    }
    if (journal != nullptr) {
        journal->LineFailed();
    }
    return kCodeFailed;
}

int32_t SlowestMilliseconds(const Device& device) {
    return static_cast<int32_t>(std::clamp(device.SlowestAnswer() * 1000.0, 0.0, 3'600'000.0));
}

}  // namespace tallix
