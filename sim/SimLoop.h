#pragma once

#include "sim/SimOptions.h"

namespace tallix {

// Runs the printer on its line until SIGINT or SIGTERM (exit code 0), a hang-up fault (0), or
// a failure to set up the line or its files (1, with a message on standard error). Prints
// "ready PATH" on standard output once it listens.
int RunSim(const SimOptions& options);

}  // namespace tallix
