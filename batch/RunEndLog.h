#pragma once

// The system log line of a batch run that ends with a non-zero exit code: batch mode prints
// nothing, so this line is where an administrator finds why a job failed.

#include <string>

#include "serial/PortError.h"

namespace tallix {

// What an exit code of batch mode means, in a few words ("the port could not be opened").
const char* ExitCodeMeaning(int exitCode);

// "batch run of <command file> ended with exit code 10: the port could not be opened:
// /dev/ttyUSB0: Permission denied: add the user to the group dialout and log in again".
// The port's reason is added to exit code 10 only; reason, what else the run found out ("" for
// nothing), follows after "; " (after ": " when there is no port's reason). "of <command
// file>" is left out when no command file was given.
std::string RunEndLogLine(int exitCode, const std::string& commandFile, const PortError& openError,
                          const std::string& reason = {});

}  // namespace tallix
