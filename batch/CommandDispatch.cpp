#include "batch/CommandDispatch.h"

#include "batch/CommandTable.h"
#include "batch/JobRunner.h"
#include "device/Device.h"

namespace tallix {

bool MaySendCommand(int32_t commandNumber) {
    return FindCommand(commandNumber) != nullptr;
}

LineAction ActionFor(const Device& device, const CommandLine& line) {
    const CommandSpec* command = FindCommand(line.commandNumber());
    if (command == nullptr) {
        return LineAction::Nothing();
    }
    const std::size_t fields = line.fieldCount();
    if (fields < command->minFields || fields > command->maxFields) {
        if (command->wrongFieldCount == WrongFieldCount::kSyntaxError) {
            return LineAction::Answer(kCodeSyntaxError);
        }
        return LineAction::Nothing();
    }
    return command->make(device, line);
}

std::optional<int32_t> DispatchCommand(Device& device, const CommandLine& line) {
    const LineAction action = ActionFor(device, line);
    if (action.command()) {
        return ExchangeCommand(device, *action.command(), nullptr);
    }
    return action.code();
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         const StopRequested& stop) {
    CommandRun run;
    run.stop = stop;
    return ExecuteCommandLines(device, result, lines, run);
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         CommandRun& run) {
    ResultFileSink sink(result);
    return JobRunner(device, sink, run).Run(lines);
}

}  // namespace tallix
