#include "batch/Entry.h"

#include <cstdio>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/Options.h"
#include "batch/PortCommands.h"
#include "batch/RunEndLog.h"
#include "batch/RunSequence.h"
#include "batch/SetupLauncher.h"
#include "batch/StopSignals.h"
#include "posix/SystemLog.h"
#include "serial/LineTrace.h"

#ifndef TALLIX_VERSION
#define TALLIX_VERSION "unknown"
#endif

namespace tallix {

namespace {

// What the program does.
constexpr const char* kUsageIntro =
    "Usage: tallix -i COMMAND-FILE -o RESULT-FILE [options]\n"
    "       tallix            (no arguments: the set-up window, tallix-setup)\n"
    "\n"
    "Runs the command file on a VX-37 fiscal printer and writes one result line per\n"
    "command to the result file. Batch mode prints nothing; the exit code tells how\n"
    "far the run got (0: every line was processed), and any other exit code leaves\n"
    "one line with the reason in the system log.\n"
    "\n";

// The options of a batch run.
constexpr const char* kUsageOptions =
    "Options (upper case works too; each takes the next argument as its value):\n"
    "  -i PATH    command file to execute\n"
    "  -o PATH    result file to write (created with its folders, emptied)\n"
    "  -t TYPE    device type, must be VX-37\n"
    "  -k KEY     device entry of the preferences file to use\n"
    "  -p PORT    port: a device path such as /dev/serial/by-id/..., or the start\n"
    "             of a port name such as ttyUSB\n"
    "  -s SPEED   line speed, e.g. 9600\n"
    "  -l ID      logical ID of the printer\n"
    "  -c TEXT    country\n"
    "  -n [TEXT]  with a value: serial number; alone: write only the printer's\n"
    "             serial number to the result file\n"
    "  --trace FILE  write every byte of the line to FILE\n"
    "  --no-resume   run the whole command file as a new job, even when the printer's\n"
    "                unfinished job is this file (a run that stopped part-way)\n"
    "\n"
    "Unless all nine of -i -o -t -k -n -p -s -l -c are given, the missing -t, -p,\n"
    "-s, -l come from the preferences file: the entry that -k names, else the\n"
    "default entry that the set-up window stored. Without that file such a run\n"
    "ends with 21; batch mode never creates it.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "\n";

// The options that look for printers.
constexpr const char* kUsagePorts =
    "Finding the printer (these print on the console):\n"
    "  --list-ports\n"
    "      one line per serial port: name, device, by-id link, USB vendor, model,\n"
    "      serial number and driver, separated by tabs\n"
    "  --detect [--all-ids] [PORT...]\n"
    "      looks for printers on the ports (paths or names; none: every port) at\n"
    "      9600 to 115200 baud with logical IDs 1 and 0 (and the default entry's);\n"
    "      --all-ids also tries 2 to 99. One line per printer: port, speed,\n"
    "      logical ID, serial number. Exit 0 when one was found, 1 when none\n"
    "\n";

// The exit codes of a batch run, and where to read more.
constexpr const char* kUsageExitCodes =
    "Exit codes of a batch run:\n"
    "    0  every line was processed, or the serial number was written\n"
    "   23  no command file given, or it is missing, unreadable, not decodable or\n"
    "       over 64 MiB\n"
    "   20  no result file given, or it cannot be opened for writing, or it is the\n"
    "       command file\n"
    "   21  the preferences file was needed (not all nine options were given) and\n"
    "       is missing, not XML, empty, not a regular file or over 16 MiB\n"
    "  100  the device type is not VX-37, or none was given\n"
    "   10  the port could not be opened, is not a terminal or did not take the\n"
    "       line's speed and format, or none was given\n"
    "    1  the printer could not be initialised with the logical ID (never in\n"
    "       this version; a printer that does not answer gives 2)\n"
    "    2  the printer's serial number could not be read\n"
    "    4  the command file holds no text\n"
    "   50  a result line (or the serial number) could not be written\n"
    "  127  set-up mode: tallix-setup is missing or cannot start, or no display\n"
    "A printer that refuses a command (no paper, no receipt open) ends no run: that\n"
    "line's result is \"1\";\"No printer response\", the later lines' \"9\", exit 0.\n"
    "\n"
    "More in the manual: man tallix\n";

}  // namespace

const char* UsageText() {
    static const std::string text =
        std::string(kUsageIntro) + kUsageOptions + kUsagePorts + kUsageExitCodes;
    return text.c_str();
}

namespace {

// Batch mode from the scanned options to the exit code. A stop signal ends the process here,
// once the port and the result file are closed.
int RunBatchMode(const Options& options, PortError& openError, std::string& reason) {
    const int invalid = ValidateOptions(options);
    if (invalid != kExitOk) {
        return invalid;
    }
    // Before any thread starts: the trace's and the line's threads inherit the blocked
    // signals.
    StopSignals stopSignals;
    // A trace that cannot be opened is no reason to refuse the job: the run goes on untraced.
    if (!options.traceFilePath.empty()) {
        (void)StartLineTrace(options.traceFilePath);
    }
    const int exitCode = RunBatch(
        options, StopRequested([&stopSignals] { return stopSignals.Pending(); }, stopSignals.fd()),
        &openError, &reason);
    StopLineTrace();
    // Port and result file are closed: a stop signal that came ends the process here.
    stopSignals.Release();
    return exitCode;
}

}  // namespace

int TallixMain(int argc, char* argv[]) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    switch (ChooseMode(arguments)) {
        case Mode::Setup:
            return LaunchSetup(argv);
        case Mode::Help:
            (void)std::fputs(UsageText(), stdout);
            return std::fflush(stdout) == 0 ? kExitOk : 1;
        case Mode::Version:
            (void)std::printf("tallix %s\n", TALLIX_VERSION);
            return std::fflush(stdout) == 0 ? kExitOk : 1;
        case Mode::ListPorts:
            return ListPorts(stdout);
        case Mode::Detect:
            return DetectPrintersCommand({arguments.begin() + 1, arguments.end()}, stdout, stderr);
        case Mode::Batch:
            break;
    }
    const Options options = ScanOptions(arguments);
    PortError openError;
    std::string reason;
    const int exitCode = RunBatchMode(options, openError, reason);
    // The one place a batch run reports a failure beyond its exit code.
    if (exitCode != kExitOk) {
        LogToSystem(RunEndLogLine(exitCode, options.commandFilePath, openError, reason));
    }
    return exitCode;
}

}  // namespace tallix
