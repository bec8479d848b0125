#include "batch/RunEndLog.h"

#include "batch/ExitCodes.h"

namespace tallix {

const char* ExitCodeMeaning(int exitCode) {
    switch (exitCode) {
        case kExitOk:
            return "every line was processed";
        case kExitInitializeFailed:
            return "the printer could not be initialised with the logical ID";
        case kExitSerialNumberFailed:
            return "the printer's serial number could not be read";
        case kExitCommandFileEmpty:
            return "the command file holds no text";
        case kExitOpenFailed:
            return "the port could not be opened";
        case kExitResultFileFailed:  // also kExitNoResultFile
            return "no result file given, or it cannot be opened for writing, or it is the "
                   "command file";
        case kExitPreferences:
            return "the preferences file was needed and is missing, not XML, empty, not a "
                   "regular file or over 16 MiB";
        case kExitCommandFileFailed:  // also kExitNoCommandFile
            return "no command file given, or it is missing, unreadable, not decodable or over "
                   "64 MiB";
        case kExitResultWriteFailed:
            return "a result line (or the serial number) could not be written";
        case kExitWrongDeviceType:
            return "the device type is not VX-37";
        default:
            return "unknown exit code";
    }
}

std::string RunEndLogLine(int exitCode, const std::string& commandFile, const PortError& openError,
                          const std::string& reason) {
    std::string line = "batch run";
    if (!commandFile.empty()) {
        line += " of " + commandFile;
    }
    line += " ended with exit code " + std::to_string(exitCode) + ": " + ExitCodeMeaning(exitCode);
    const bool portReason = exitCode == kExitOpenFailed && openError.failed();
    if (portReason) {
        line += ": " + openError.describe();
    }
    if (!reason.empty()) {
        line += (portReason ? "; " : ": ") + reason;
    }
    return line;
}

}  // namespace tallix
