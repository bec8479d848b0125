#include "batch/CommandDispatch.h"

#include "batch/CommandTable.h"
#include "device/Device.h"
#include "journal/JobJournal.h"
#include "protocol/Windows1250.h"

namespace tallix {

bool MaySendCommand(int32_t commandNumber) {
    return FindCommand(commandNumber) != nullptr;
}

std::optional<int32_t> DispatchCommand(Device& device, const CommandLine& line) {
    const CommandSpec* command = FindCommand(line.commandNumber());
    if (command == nullptr) {
        return std::nullopt;
    }
    const std::size_t fields = line.fieldCount();
    if (fields < command->minFields || fields > command->maxFields) {
        if (command->wrongFieldCount == WrongFieldCount::kSyntaxError) {
            return kCodeSyntaxError;
        }
        return std::nullopt;
    }
    return command->run(device, line);
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         const StopRequested& stop) {
    CommandRun run;
    run.stop = stop;
    return ExecuteCommandLines(device, result, lines, run);
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         CommandRun& run) {
    run.finished = false;
    int32_t lastCode = kCodeDone;
    bool failed = false;
    CommandLines::Cursor cursor(lines);
    for (std::size_t index = 0; const std::optional<std::string_view> bytes = cursor.next();
         ++index) {
        if (bytes->empty()) {
            continue;
        }
        if (run.stop && run.stop()) {
            return true;
        }
        const std::string text = DecodeWindows1250(*bytes);
        const CommandLine line(text);
        int32_t code = kCodeSkippedAfterFailure;
        if (index < run.firstLine) {
            // Done by an earlier run, which answered it as done: no earlier line had failed.
            code = kCodeDone;
        } else if (index == run.firstLine && run.firstLineUndecided) {
            code = kCodeFailed;
        } else if (!failed) {
            if (run.journal != nullptr) {
                run.journal->LineStarting(index, MaySendCommand(line.commandNumber()));
            }
            // A line that executes nothing keeps the last code, which is still kCodeDone:
            // any other code has stopped the run already.
            lastCode = DispatchCommand(device, line).value_or(lastCode);
            code = lastCode;
            if (run.journal != nullptr) {
                if (code == kCodeDone) {
                    run.journal->LineDone(device.LastSequence());
                } else {
                    run.journal->LineFailed();
                }
            }
        }
        if (Responce(result, line.commandNumber(), code, failed) != kResponceOk) {
            return false;
        }
    }
    run.finished = !failed;
    return true;
}

}  // namespace tallix
