#pragma once

// One service job run on its printer: the one place where the service hands a job to the code
// that runs command files, so that a job's result is byte for byte what batch mode writes for
// the same file on the same printer. The result lines go to the job's result file as each
// command is answered; the exit code is batch mode's.

#include <memory>
#include <string>

#include "batch/CommandDispatch.h"
#include "config/Preferences.h"
#include "device/Device.h"
#include "journal/JobIdentity.h"

namespace tallix {

struct JobRun {
    std::string commandFilePath;  // the command file's bytes (Windows-1250)
    std::string resultFilePath;   // written as batch mode writes its result file
    DeviceEntry entry;            // the printer: Type, Path, Speed, LogicalID, SerialNumber
    std::string journalFolder;    // where the printers' job journals live
    JobIdentity identity;         // names the job in the printer's journal
};

enum class JobEnd {
    Ended,            // the run ended with exitCode; the result file holds its lines
    AlreadyFinished,  // the printer's journal shows the job finished: nothing was sent
    NotReached,       // the port could not be opened or the printer did not answer
    WrongPrinter,     // another printer answered: nothing was sent
    Stopped,          // the service is stopping: the job continues at the next start
};

struct JobRunOutcome {
    JobEnd end = JobEnd::Ended;
    int exitCode = 0;
    // Why the printer was not reached or the wrong one answered; "" otherwise.
    std::string reason;
};

// Opens the entry's port and installs its logical ID, for one job or several one after
// another. Nothing when that fails; failed then tells how the job that wanted the port ends:
// NotReached with the port's reason, Stopped when stop answered true before the port was
// touched, or Ended with batch mode's exit code for an entry whose type is not a printer this
// program drives. The caller closes the device.
std::unique_ptr<Device> OpenEntryPrinter(const DeviceEntry& entry, const DeviceFactory& makeDevice,
                                         const StopRequested& stop, JobRunOutcome& failed);

// Runs the job on the entry's printer, whose port the caller opened (OpenEntryPrinter) and keeps:
// checks the serial number against the entry's (when it has one), continues the printer's
// unfinished run of this job through its journal or runs the file in full. The port stays
// open.
JobRunOutcome ExecuteJob(const JobRun& run, Device& device, const StopRequested& stop);

// Whether the printer on the open device answers a wake-up now.
bool PrinterAnswers(Device& device);

}  // namespace tallix
