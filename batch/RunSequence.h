#pragma once

// The batch run: from the scanned and validated options to the exit code.

#include <functional>
#include <memory>

#include "batch/Options.h"

namespace tallix {

class VX37RO;

// Runs one batch job with options whose two file paths are given and returns the process
// exit code (batch/ExitCodes.h). Prints nothing.
int RunBatch(const Options& options);

// The same run on the device object that makeDevice creates (once, after the options are
// complete), so that tests can stand a recording device in for the printer.
using DeviceFactory = std::function<std::unique_ptr<VX37RO>()>;
int RunBatch(const Options& options, const DeviceFactory& makeDevice);

}  // namespace tallix
