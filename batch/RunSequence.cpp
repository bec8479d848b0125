#include "batch/RunSequence.h"

#include <optional>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/DeviceSelection.h"
#include "batch/ExitCodes.h"
#include "batch/ResultFile.h"
#include "config/FileSystem.h"
#include "config/Numbers.h"
#include "device/Device.h"
#include "device/VX37RO.h"
#include "journal/JobJournal.h"
#include "journal/JournalPlace.h"
#include "journal/ResumePlan.h"
#include "serial/LineTrace.h"

namespace tallix {
namespace {

// Closes the printer when the run leaves the stages after a successful Open.
class OpenDevice {
  public:
    explicit OpenDevice(Device& device) : device_(device) {}
    ~OpenDevice() { device_.Close(); }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

  private:
    Device& device_;
};

// Unhooks the journal from the device when the command run ends, however it ends.
class FrameHook {
  public:
    FrameHook(Device& device, JobJournal& journal) : device_(device) {
        device_.SetBeforeFrame(
            [&journal](int32_t sequenceBefore) { journal.FrameComing(sequenceBefore); });
    }
    ~FrameHook() { device_.SetBeforeFrame(nullptr); }
    FrameHook(const FrameHook&) = delete;
    FrameHook& operator=(const FrameHook&) = delete;

  private:
    Device& device_;
};

void TraceJournal(const std::string& text) {
    TraceLineNote("JOURNAL", text);
}

// The command lines on the printer, continuing its unfinished job of this command file where
// the printer stopped, and keeping the job journal up to date. True when every line was
// answered.
bool RunJob(const Options& options, Device& device, ResultFile& result,
            const CommandFileRead& commands, JobJournal& journal, const StopRequested& stop) {
    // The serial number's wake-up has just read the counter; nothing has been sent yet.
    const std::optional<int32_t> sequence = device.LastSequence();
    const ResumePlan plan = PlanResume(journal.saved(), commands.identity, sequence,
                                       commands.lines.size(), options.resume);
    TraceJournal(plan.reason);
    journal.Begin(commands.identity, plan, sequence);

    CommandRun run;
    run.firstLine = plan.firstLine;
    run.journal = &journal;
    run.stop = stop;
    bool allAnswered = false;
    {
        const FrameHook hook(device, journal);
        allAnswered = ExecuteCommandLines(device, result, commands.lines, run);
    }
    // Recorded while the port is still held: only the run that holds it touches the journal.
    journal.End(allAnswered && run.finished);
    return allAnswered;
}

// Result and command stages, with the printer open and its serial number read. The result
// file is closed before this returns, so before the printer.
int RunOnOpenDevice(const Options& options, Device& device, const std::string& serialNumber,
                    const StopRequested& stop, JobJournal* journal,
                    const std::optional<JobIdentity>& identity) {
    if (stop && stop()) {
        return kExitResultFileFailed;
    }
    // Emptying the result file would wipe the command file it is.
    if (!options.serialNumberOnly && SameFile(options.commandFilePath, options.resultFilePath)) {
        return kExitResultFileFailed;
    }
    std::optional<ResultFile> result = ResultFile::Open(options.resultFilePath);
    if (!result) {
        return kExitResultFileFailed;
    }
    if (options.serialNumberOnly) {
        const bool written = result->WriteSerialNumber(serialNumber);
        result->Close();
        return written ? kExitOk : kExitResultWriteFailed;
    }
    CommandFileRead commands = ReadCommandFile(options.commandFilePath);
    if (commands.status != kExitOk) {
        result->Close();
        return commands.status;
    }
    if (identity) {
        commands.identity = *identity;
    }
    const bool allAnswered = RunJob(options, device, *result, commands, *journal, stop);
    result->Close();
    return allAnswered ? kExitOk : kExitResultWriteFailed;
}

}  // namespace

int RunBatch(const Options& options, const StopRequested& stop, PortError* openError) {
    return RunBatch(options, VX37ROFactory(), stop, JournalFolder(), openError);
}

int RunBatch(const Options& given, const DeviceFactory& makeDevice, const StopRequested& stop,
             const std::string& journalFolder, PortError* openError) {
    Options options = given;
    if (!options.IsComplete()) {
        if (const std::optional<int> failed = SelectDevice(options)) {
            return *failed;
        }
    } else {
        options.speed = ParseLeadingInt(options.speedText);
        options.logicalID = ParseLeadingInt(options.logicalIDText);
    }
    JobSettings job;
    return RunCompleteBatch(options, makeDevice, stop, journalFolder, openError, job);
}

int RunCompleteBatch(const Options& options, const DeviceFactory& makeDevice,
                     const StopRequested& stop, const std::string& journalFolder,
                     PortError* openError, JobSettings& job) {
    const std::unique_ptr<Device> device = makeDevice();
    if (!device || options.deviceType != kDeviceTypeVX37) {
        return kExitWrongDeviceType;
    }
    if (stop && stop()) {
        return kExitOpenFailed;
    }
    if (!device->Open(options.portName, options.speed)) {
        if (openError != nullptr) {
            *openError = device->openError();
        }
        return kExitOpenFailed;
    }
    const OpenDevice closeOnExit(*device);
    if (!device->Initialize(options.logicalID)) {
        return kExitInitializeFailed;
    }
    std::string serialNumber;
    if (!device->Oxel_GetSerial(serialNumber)) {
        return kExitSerialNumberFailed;
    }
    job.serialNumber = serialNumber;
    if (!job.requiredSerialNumber.empty() && serialNumber != job.requiredSerialNumber) {
        job.wrongPrinter = true;
        return kExitSerialNumberFailed;
    }
    if (options.serialNumberOnly) {
        return RunOnOpenDevice(options, *device, serialNumber, stop, nullptr, std::nullopt);
    }
    JobJournal journal(journalFolder, serialNumber, TraceJournal);
    // A job named by its caller runs once: when the printer finished it, a run that was cut
    // off before its caller heard so must not print it again.
    if (job.identity && journal.saved() && journal.saved()->finished &&
        journal.saved()->job == *job.identity) {
        TraceJournal("the printer's last job is this one and it finished: nothing is sent");
        job.alreadyFinished = true;
        return kExitOk;
    }
    // A printer that answers late may still be answering wake-ups of the run that stopped
    // part-way; such an answer carries the counter as it was then, and a resume decided on it
    // could send an executed line again. So before a job may be continued, the line settles
    // and the counter is read afresh.
    if (options.resume && journal.saved() && !journal.saved()->finished) {
        TraceJournal(
            "an unfinished job: waiting for the line to settle before reading the counter");
        std::string again;
        if (!device->Settle() || !device->Oxel_GetSerial(again) || again != serialNumber) {
            return kExitSerialNumberFailed;
        }
    }
    return RunOnOpenDevice(options, *device, serialNumber, stop, &journal, job.identity);
}

}  // namespace tallix
