#pragma once

// Process exit codes of tallix: the batch mode's contract with the programs that start it.

namespace tallix {

constexpr int kExitOk = 0;                  // set-up ended, serial number written, or all lines run
constexpr int kExitNoCommandFile = 23;      // options: no command file path
constexpr int kExitNoResultFile = 20;       // options: no result file path
constexpr int kExitPreferences = 21;        // preferences file missing, unreadable or empty
constexpr int kExitWrongDeviceType = 100;   // the device type is not "VX-37"
constexpr int kExitOpenFailed = 10;         // the printer's port could not be opened
constexpr int kExitInitializeFailed = 1;    // Initialize with the logical ID failed
constexpr int kExitSerialNumberFailed = 2;  // the printer's serial number could not be read
constexpr int kExitResultFileFailed = 20;   // the result file cannot be opened for writing
constexpr int kExitCommandFileFailed =
    23;                                   // the command file is missing, unreadable or undecodable
constexpr int kExitCommandFileEmpty = 4;  // the command file gave no text
constexpr int kExitResultWriteFailed = 50;  // a result line (or the serial number) was not written
constexpr int kExitSetupUnavailable = 127;  // tallix-setup is missing or could not start

}  // namespace tallix
