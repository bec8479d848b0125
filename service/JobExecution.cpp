#include "service/JobExecution.h"

#include "batch/ExitCodes.h"
#include "batch/Options.h"
#include "batch/RunSequence.h"
#include "config/Numbers.h"
#include "device/VX37RO.h"

namespace tallix {
namespace {

// The nine texts of a complete option set come from the entry; the three that the run does
// not use (key, serial number, country) may be empty in an entry and are then filled, so the
// preferences file of the service's user is never consulted.
Options OptionsFor(const DeviceEntry& entry) {
    Options options;
    options.deviceType = entry.type;
    options.deviceKey = entry.key;
    options.serialNumber = entry.serialNumber;
    options.portName = entry.path;
    options.speedText = entry.speed;
    options.logicalIDText = entry.logicalID;
    options.country = entry.country;
    options.speed = ParseLeadingInt(entry.speed);
    options.logicalID = ParseLeadingInt(entry.logicalID);
    return options;
}

// What a run's exit code and findings mean for the job.
JobRunOutcome OutcomeOf(int exitCode, const JobSettings& settings, const PortError& openError,
                        const DeviceEntry& entry, const StopRequested& stop) {
    JobRunOutcome outcome;
    outcome.exitCode = exitCode;
    if (settings.wrongPrinter) {
        outcome.end = JobEnd::WrongPrinter;
        outcome.reason = "the printer on " + entry.path + " has the serial number " +
                         settings.serialNumber + ", not " + entry.serialNumber +
                         ": nothing is printed on it";
    } else if (settings.alreadyFinished) {
        outcome.end = JobEnd::AlreadyFinished;
    } else if (stop && stop()) {
        outcome.end = JobEnd::Stopped;
    } else if (exitCode == kExitOpenFailed) {
        outcome.end = JobEnd::NotReached;
        outcome.reason = openError.failed() ? openError.describe()
                                            : entry.path + ": the port could not be opened";
    } else if (exitCode == kExitInitializeFailed || exitCode == kExitSerialNumberFailed) {
        outcome.end = JobEnd::NotReached;
        outcome.reason = "the printer on " + entry.path + " does not answer";
    }
    return outcome;
}

}  // namespace

std::unique_ptr<Device> OpenEntryPrinter(const DeviceEntry& entry, const DeviceFactory& makeDevice,
                                         const StopRequested& stop, JobRunOutcome& failed) {
    const Options options = OptionsFor(entry);
    std::unique_ptr<Device> device = makeDevice();
    PortError openError;
    int exitCode = kExitWrongDeviceType;
    if (device && options.deviceType == kDeviceTypeVX37) {
        exitCode = OpenPrinter(options, *device, stop, &openError);
    }
    if (exitCode == kExitOk) {
        return device;
    }
    failed = OutcomeOf(exitCode, JobSettings{}, openError, entry, stop);
    return nullptr;
}

JobRunOutcome ExecuteJob(const JobRun& run, Device& device, const StopRequested& stop) {
    Options options = OptionsFor(run.entry);
    options.commandFilePath = run.commandFilePath;
    options.resultFilePath = run.resultFilePath;
    JobSettings settings;
    settings.identity = run.identity;
    settings.requiredSerialNumber = run.entry.serialNumber;
    const int exitCode = RunOnOpenPrinter(options, device, stop, run.journalFolder, settings);
    return OutcomeOf(exitCode, settings, PortError{}, run.entry, stop);
}

bool PrinterAnswers(Device& device) {
    return static_cast<bool>(device.ReadSerial());
}

}  // namespace tallix
