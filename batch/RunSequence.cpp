#include "batch/RunSequence.h"

#include <optional>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/DeviceSelection.h"
#include "batch/ExitCodes.h"
#include "batch/JobRunner.h"
#include "batch/ResultFile.h"
#include "config/FileSystem.h"
#include "config/Numbers.h"
#include "device/Device.h"
#include "device/DeviceTypes.h"
#include "device/VX37RO.h"
#include "journal/JobJournal.h"
#include "journal/JournalPlace.h"
#include "journal/ResumePlan.h"
#include "posix/ErrnoText.h"
#include "posix/InputFile.h"
#include "posix/SystemLog.h"
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

// Puts what a stage found in front of what the run knew before (the device entry that was
// missing, say), which may be why that stage failed.
void Explain(std::string* reason, const std::string& text) {
    if (reason != nullptr && !text.empty()) {
        *reason = reason->empty() ? text : text + "; " + *reason;
    }
}

void TraceJournal(const std::string& text) {
    TraceLineNote("JOURNAL", text);
}

// Exit 2, with why the printer gave no usable answer in the line trace and the log line.
int SerialNumberFailed(const SerialRead& read, std::string* reason) {
    // A second reading that answered with another serial number.
    const std::string why =
        read ? "another printer answered (serial number " + *read.serialNumber + ")"
             : std::string(WakeFailureText(read.failure));
    TraceLineNote("WAKE", why);
    Explain(reason, why);
    return kExitSerialNumberFailed;
}

// The command lines on the printer, continuing its unfinished job of this command file where
// the printer stopped, and keeping the job journal up to date. True when every line was
// answered.
bool RunJob(const Options& options, Device& device, std::optional<int32_t> sequence,
            ResultFile& result, const CommandFileRead& commands, JobJournal& journal,
            const StopRequested& stop) {
    // sequence: the serial number's wake-up has just read the counter; nothing has been sent
    // yet.
    const ResumePlan plan = PlanResume(journal.saved(), commands.identity, sequence,
                                       commands.lines.size(), options.resume);
    TraceJournal(plan.reason);
    // An undecided line leaves the journal as it is: no Begin, so nothing is written.
    if (!plan.inFlightUndecided) {
        journal.Begin(commands.identity, plan, sequence);
    }

    CommandRun run;
    run.firstLine = plan.firstLine;
    run.firstLineUndecided = plan.inFlightUndecided;
    run.journal = &journal;
    run.stop = stop;
    const bool allAnswered = ExecuteCommandLines(device, result, commands.lines, run);
    // Recorded while the port is still held: only the run that holds it touches the journal.
    const bool lineClean = device.LeaveLineClean();
    journal.NoteSlowest(SlowestMilliseconds(device));
    journal.End(allAnswered && run.finished, lineClean);
    return allAnswered;
}

// Result and command stages, with the printer open and its serial number read. The result
// file is closed before this returns, so before the printer.
int RunOnOpenDevice(const Options& options, Device& device, const SerialRead& read,
                    const StopRequested& stop, JobJournal* journal,
                    std::optional<CommandFileRead> readEarly,
                    const std::optional<JobIdentity>& identity, std::string* reason) {
    if (stop && stop()) {
        return kExitResultFileFailed;
    }
    // Emptying the result file would wipe the command file it is.
    if (!options.serialNumberOnly && SameFile(options.commandFilePath, options.resultFilePath)) {
        Explain(reason, "-i and -o name the same file, " + options.resultFilePath);
        return kExitResultFileFailed;
    }
    int openError = 0;
    std::optional<ResultFile> result = ResultFile::Open(options.resultFilePath, &openError);
    if (!result) {
        Explain(reason, "the result file " + options.resultFilePath + ": " + ErrnoText(openError));
        return kExitResultFileFailed;
    }
    if (options.serialNumberOnly) {
        const bool written = result->WriteSerialNumber(*read.serialNumber);
        result->Close();
        return written ? kExitOk : kExitResultWriteFailed;
    }
    CommandFileRead commands =
        readEarly ? std::move(*readEarly)
                  : ReadCommandFile(options.commandFilePath, kCommandFileLimit, stop.fd());
    if (commands.stopped) {
        // Nothing was sent: every command sent has its line.
        result->Close();
        return kExitOk;
    }
    if (commands.status != kExitOk) {
        Explain(reason, CommandFileProblem(options.commandFilePath, commands));
        result->Close();
        return commands.status;
    }
    if (identity) {
        commands.identity = *identity;
    }
    const bool allAnswered =
        RunJob(options, device, read.sequence, *result, commands, *journal, stop);
    result->Close();
    return allAnswered ? kExitOk : kExitResultWriteFailed;
}

// A command file that is not a regular file (a FIFO, a pipe) can keep its reader waiting for a
// writer without end: it is read before the port is taken, so that the printer is not held
// meanwhile and a stop signal ends the wait. What it gave is reported at the command file's
// stage, as for any other command file. Nothing for any other command file.
std::optional<CommandFileRead> ReadEarly(const Options& options, const StopRequested& stop) {
    if (options.serialNumberOnly || !IsSpecialFile(options.commandFilePath)) {
        return std::nullopt;
    }
    return ReadCommandFile(options.commandFilePath, kCommandFileLimit, stop.fd());
}

// Makes the counter the run decides on an exact one (read holds the serial number's reading,
// replaced by a later one). False when a reading after a silence did not come from the same
// printer; read then says why.
bool VouchForTheLine(const Options& options, Device& device, const std::optional<JobState>& saved,
                     SerialRead& read) {
    const std::string serialNumber = *read.serialNumber;
    // A printer that answers late may still be answering wake-ups of an earlier run; such an
    // answer carries the counter as it was then. Decided on it, a resume could send an
    // executed line again, and a frame's moved counter could be one the earlier run moved.
    // Only a journal that says the last run left the line clean, with the counter this run
    // read, vouches for the line. Before a job may be continued the line settles and the
    // counter is read afresh; otherwise the line settles before the first frame, if any.
    if (options.resume && saved && !saved->finished) {
        TraceJournal(
            "an unfinished job: waiting for the line to settle before reading the counter");
        read = device.ReadSerial(true);
        if (read.serialNumber != serialNumber) {
            return false;
        }
        // A counter unchanged since the line in flight would send that line again. An answer
        // given twice may still come after one silence, with the counter as it was before the
        // frame: that decision waits for a second silence and a second reading.
        if (saved->inFlight && read.sequence == saved->sequence) {
            TraceJournal("the line in flight looks unexecuted: settling once more to be sure");
            read = device.ReadSerial(true);
            if (read.serialNumber != serialNumber) {
                return false;
            }
        }
    } else if (!saved || !saved->lineClean || read.sequence != saved->sequence) {
        TraceJournal(
            "no journal shows the line left clean with this counter: it settles before the "
            "first frame");
        device.SettleBeforeNextFrame();
    }
    return true;
}

}  // namespace

int RunBatch(const Options& options, const StopRequested& stop, PortError* openError,
             std::string* reason) {
    return RunBatch(options, VX37ROFactory(), stop, JournalFolder(), openError, reason);
}

int RunBatch(const Options& given, const DeviceFactory& makeDevice, const StopRequested& stop,
             const std::string& journalFolder, PortError* openError, std::string* reason) {
    Options options = given;
    if (!options.IsComplete()) {
        std::string found;
        const std::optional<int> failed = SelectDevice(options, Preferences(), &found);
        Explain(reason, found);
        if (failed) {
            return *failed;
        }
    } else {
        options.speed = ParseLeadingInt(options.speedText);
        options.logicalID = ParseLeadingInt(options.logicalIDText);
    }
    JobSettings job;
    return RunCompleteBatch(options, makeDevice, stop, journalFolder, openError, job, reason);
}

int OpenPrinter(const Options& options, Device& device, const StopRequested& stop,
                PortError* openError) {
    if (stop && stop()) {
        return kExitOpenFailed;
    }
    if (!device.Open(options.portName, options.speed)) {
        if (openError != nullptr) {
            *openError = device.openError();
        }
        return kExitOpenFailed;
    }
    if (!device.Initialize(options.logicalID)) {
        device.Close();
        return kExitInitializeFailed;
    }
    return kExitOk;
}

int RunCompleteBatch(const Options& options, const DeviceFactory& makeDevice,
                     const StopRequested& stop, const std::string& journalFolder,
                     PortError* openError, JobSettings& job, std::string* reason) {
    const std::unique_ptr<Device> device = makeDevice();
    if (!device || options.deviceType != kDeviceTypeVX37) {
        Explain(reason, DeviceTypeProblem(options.deviceType));
        return kExitWrongDeviceType;
    }
    std::optional<CommandFileRead> readEarly = ReadEarly(options, stop);
    const int opened = OpenPrinter(options, *device, stop, openError);
    if (opened != kExitOk) {
        return opened;
    }
    const OpenDevice closeOnExit(*device);
    return RunOnOpenPrinter(options, *device, stop, journalFolder, job, reason,
                            std::move(readEarly));
}

int RunOnOpenPrinter(const Options& options, Device& device, const StopRequested& stop,
                     const std::string& journalFolder, JobSettings& job, std::string* reason,
                     std::optional<CommandFileRead> readEarly) {
    SerialRead read = device.ReadSerial();
    if (!read) {
        return SerialNumberFailed(read, reason);
    }
    const std::string serialNumber = *read.serialNumber;
    job.serialNumber = serialNumber;
    if (!job.requiredSerialNumber.empty() && serialNumber != job.requiredSerialNumber) {
        job.wrongPrinter = true;
        return kExitSerialNumberFailed;
    }
    if (options.serialNumberOnly) {
        return RunOnOpenDevice(options, device, read, stop, nullptr, std::nullopt, std::nullopt,
                               reason);
    }
    JobJournal journal(journalFolder, serialNumber, TraceJournal);
    if (!journal.distrust().empty()) {
        // Someone else could have planted or changed it: a word for the administrator even
        // when the run succeeds.
        LogToSystem("batch run of " + options.commandFilePath + ": job " + journal.distrust());
    }
    const std::optional<JobState>& saved = journal.saved();
    // A job named by its caller runs once: when the printer finished it, a run that was cut
    // off before its caller heard so must not print it again.
    if (job.identity && saved && saved->finished && saved->job == *job.identity) {
        TraceJournal("the printer's last job is this one and it finished: nothing is sent");
        job.alreadyFinished = true;
        return kExitOk;
    }
    if (saved) {
        device.KnowSlowest(saved->slowestMs / 1000.0);
    }
    if (!VouchForTheLine(options, device, saved, read)) {
        return SerialNumberFailed(read, reason);
    }
    return RunOnOpenDevice(options, device, read, stop, &journal, std::move(readEarly),
                           job.identity, reason);
}

}  // namespace tallix
