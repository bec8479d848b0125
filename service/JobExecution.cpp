#include "service/JobExecution.h"

#include "batch/ExitCodes.h"
#include "batch/Options.h"
#include "batch/RunSequence.h"
#include "config/Numbers.h"

namespace tallix {
namespace {

// The nine texts of a complete option set come from the entry; the three that the run does
// not use (key, serial number, country) may be empty in an entry and are then filled, so the
// preferences file of the service's user is never consulted.
Options OptionsFor(const JobRun& run) {
    Options options;
    options.commandFilePath = run.commandFilePath;
    options.resultFilePath = run.resultFilePath;
    options.deviceType = run.entry.type;
    options.deviceKey = run.entry.key;
    options.serialNumber = run.entry.serialNumber;
    options.portName = run.entry.path;
    options.speedText = run.entry.speed;
    options.logicalIDText = run.entry.logicalID;
    options.country = run.entry.country;
    options.speed = ParseLeadingInt(run.entry.speed);
    options.logicalID = ParseLeadingInt(run.entry.logicalID);
    return options;
}

}  // namespace

JobRunOutcome ExecuteJob(const JobRun& run, const DeviceFactory& makeDevice,
                         const StopRequested& stop) {
    JobSettings settings;
    settings.identity = run.identity;
    settings.requiredSerialNumber = run.entry.serialNumber;
    PortError openError;
    JobRunOutcome outcome;
    outcome.exitCode = RunCompleteBatch(OptionsFor(run), makeDevice, stop, run.journalFolder,
                                        &openError, settings);
    if (settings.wrongPrinter) {
        outcome.end = JobEnd::WrongPrinter;
        outcome.reason = "the printer on " + run.entry.path + " has the serial number " +
                         settings.serialNumber + ", not " + run.entry.serialNumber +
                         ": nothing is printed on it";
    } else if (settings.alreadyFinished) {
        outcome.end = JobEnd::AlreadyFinished;
    } else if (stop && stop()) {
        outcome.end = JobEnd::Stopped;
    } else if (outcome.exitCode == kExitOpenFailed) {
        outcome.end = JobEnd::NotReached;
        outcome.reason = openError.failed() ? openError.describe()
                                            : run.entry.path + ": the port could not be opened";
    } else if (outcome.exitCode == kExitInitializeFailed ||
               outcome.exitCode == kExitSerialNumberFailed) {
        outcome.end = JobEnd::NotReached;
        outcome.reason = "the printer on " + run.entry.path + " does not answer";
    }
    return outcome;
}

bool PrinterAnswers(const DeviceEntry& entry, const DeviceFactory& makeDevice) {
    const std::unique_ptr<Device> device = makeDevice();
    if (!device || !device->Open(entry.path, ParseLeadingInt(entry.speed))) {
        return false;
    }
    std::string serial;
    const bool answered =
        device->Initialize(ParseLeadingInt(entry.logicalID)) && device->Oxel_GetSerial(serial);
    device->Close();
    return answered;
}

}  // namespace tallix
