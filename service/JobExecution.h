#pragma once

// One service job run on its printer: the one place where the service hands a job to the code
// that runs command files, so that a job's result is byte for byte what batch mode writes for
// the same file on the same printer. The result lines go to the job's result file as each
// command is answered; the exit code is batch mode's.

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

// Runs the job on its printer: opens the port, checks the serial number against the entry's
// (when it has one), continues the printer's unfinished run of this job through its journal
// or runs the file in full, closes the port.
JobRunOutcome ExecuteJob(const JobRun& run, const DeviceFactory& makeDevice,
                         const StopRequested& stop);

// Whether the entry's printer answers a wake-up now (its port opened and closed again).
bool PrinterAnswers(const DeviceEntry& entry, const DeviceFactory& makeDevice);

}  // namespace tallix
