#pragma once

// The batch run: from the scanned and validated options to the exit code.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/Options.h"
#include "device/Device.h"
#include "journal/JobIdentity.h"
#include "serial/PortError.h"

namespace tallix {

// Runs one batch job with options whose two file paths are given and returns the process
// exit code (batch/ExitCodes.h). Prints nothing. When stop (if given) answers true, the run
// ends at its next step with the port and the result file closed: before the port is opened
// (kExitOpenFailed), before the result file is opened, which then stays as it was
// (kExitResultFileFailed), or before a command line, once every command sent has its result
// line (kExitOk). The caller then ends the process by the signal that asked for the stop.
// When the port cannot be opened (kExitOpenFailed), openError (if given) gets the reason.
// reason (if given) gets what else a run that fails found out, in words for its system-log
// line: the preferences file or the entry that was missing, the device type that is not
// one, why the result file could not be opened; "" when the exit code says it all.
int RunBatch(const Options& options, const StopRequested& stop = {}, PortError* openError = nullptr,
             std::string* reason = nullptr);

// The same run on the device object that makeDevice creates (once, after the options are
// complete), so that tests can stand a recording device in for the printer, keeping the job
// journal in journalFolder (none when "").
int RunBatch(const Options& options, const DeviceFactory& makeDevice,
             const StopRequested& stop = {}, const std::string& journalFolder = {},
             PortError* openError = nullptr, std::string* reason = nullptr);

// What a program that runs jobs for others (the printer service) asks of a run besides the
// options, and what it learns from it.
struct JobSettings {
    // Names the job in the job journal instead of the command file's bytes.
    std::optional<JobIdentity> identity;
    // When not "": a printer that answers with another serial number ends the run before the
    // result file is touched (kExitSerialNumberFailed, wrongPrinter set). Nothing is sent.
    std::string requiredSerialNumber;

    // Set by the run: the printer that answered is not the required one.
    bool wrongPrinter = false;
    // Set by the run: the journal shows this job (by identity) finished, so nothing was sent
    // and the result file was left as the finishing run wrote it (kExitOk).
    bool alreadyFinished = false;
    // Set by the run: the serial number the printer answered with ("" before that stage).
    std::string serialNumber;
};

// The run of options that are complete already (speed and logical ID included: the
// preferences file is not consulted), from the device stage on: OpenPrinter, RunOnOpenPrinter
// and the port closed again.
int RunCompleteBatch(const Options& options, const DeviceFactory& makeDevice,
                     const StopRequested& stop, const std::string& journalFolder,
                     PortError* openError, JobSettings& job, std::string* reason = nullptr);

// Opens the device's port at the options' speed and installs their logical ID: kExitOk with
// the port open, else kExitOpenFailed (openError, if given, gets the reason) or
// kExitInitializeFailed, with the port closed again. When stop (if given) answers true first,
// nothing is opened (kExitOpenFailed).
int OpenPrinter(const Options& options, Device& device, const StopRequested& stop = {},
                PortError* openError = nullptr);

// The run from the serial number on, on a printer that the caller opened and initialised and
// closes again: the serial number (checked against job.requiredSerialNumber), the job journal,
// the result file and the command lines. The device stays open, so that a caller that runs
// several jobs one after another keeps the port between them; each run reads the serial number
// again, so a printer swapped on the open port is never printed on. readEarly: the command
// file as already read (see RunCompleteBatch); when not given, the command file is read here.
int RunOnOpenPrinter(const Options& options, Device& device, const StopRequested& stop,
                     const std::string& journalFolder, JobSettings& job,
                     std::string* reason = nullptr,
                     std::optional<CommandFileRead> readEarly = std::nullopt);

}  // namespace tallix
