#pragma once

// The batch run: from the scanned and validated options to the exit code.

#include "batch/Options.h"

namespace tallix {

// Runs one batch job with options whose two file paths are given and returns the process
// exit code (batch/ExitCodes.h). Prints nothing.
int RunBatch(const Options& options);

}  // namespace tallix
