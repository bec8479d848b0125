#pragma once

// The batch run: from the scanned and validated options to the exit code.

#include <functional>
#include <memory>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/Options.h"
#include "device/Device.h"
#include "serial/PortError.h"

namespace tallix {

// Runs one batch job with options whose two file paths are given and returns the process
// exit code (batch/ExitCodes.h). Prints nothing. When stop (if given) answers true, the run
// ends at its next step with the port and the result file closed: before the port is opened
// (kExitOpenFailed), before the result file is opened, which then stays as it was
// (kExitResultFileFailed), or before a command line, once every command sent has its result
// line (kExitOk). The caller then ends the process by the signal that asked for the stop.
// When the port cannot be opened (kExitOpenFailed), openError (if given) gets the reason.
// A command file that is not a regular file (a FIFO, a pipe) is read before the port is opened,
// waiting on stop.fd() as well, and its outcome reported at the command file's stage.
int RunBatch(const Options& options, const StopRequested& stop = {},
             PortError* openError = nullptr);

// The same run on the device object that makeDevice creates (once, after the options are
// complete), so that tests can stand a recording device in for the printer, keeping the job
// journal in journalFolder (none when "").
int RunBatch(const Options& options, const DeviceFactory& makeDevice,
             const StopRequested& stop = {}, const std::string& journalFolder = {},
             PortError* openError = nullptr);

}  // namespace tallix
