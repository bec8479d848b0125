#include "batch/CommandDispatch.h"

#include "batch/CommandTable.h"
#include "batch/JobRunner.h"
#include "device/Device.h"

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
    ResultFileSink sink(result);
    return JobRunner(device, sink, run).Run(lines);
}

}  // namespace tallix
