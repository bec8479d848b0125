#pragma once

// The option set of one batch run and the scan of the command line that fills it.

#include <cstdint>
#include <string>
#include <vector>

namespace tallix {

struct Options {
    std::string commandFilePath;    // -i, standardised
    std::string resultFilePath;     // -o, standardised
    std::string deviceType;         // -t
    std::string deviceKey;          // -k
    std::string serialNumber;       // -n with a value
    std::string portName;           // -p, as given
    std::string speedText;          // -s
    std::string logicalIDText;      // -l
    std::string country;            // -c
    bool serialNumberOnly = false;  // -n without a value
    int32_t speed = 0;              // from speedText, else the device entry
    int32_t logicalID = 0;          // from logicalIDText, else the device entry
    // --trace FILE: where the line trace goes (standardised). Not one of the nine texts: it
    // never counts for completeness and changes nothing else of the run.
    std::string traceFilePath;
    // Cleared by --no-resume: the command file runs in full and starts a new job even when
    // the printer's unfinished job is this file's.
    bool resume = true;

    // All nine texts are given, so the preferences file is not needed.
    bool IsComplete() const;
};

// What tallix does with its argument list.
enum class Mode {
    Setup,      // no argument, or a single "-psn…" argument
    Help,       // "--help" as the only argument
    Version,    // "--version" as the only argument
    ListPorts,  // "--list-ports" as the only argument
    Detect,     // "--detect" as the first argument, whatever follows
    Batch,      // anything else
};

// arguments excludes the program name.
Mode ChooseMode(const std::vector<std::string>& arguments);

// Scans the batch options, left to right. Each option is one whole argument ("-i" or "-I",
// nothing attached) and takes the next argument as its value unless that begins with "-";
// an option without a value is ignored, except "-n", which then selects serial-number-only
// mode. Unknown arguments are skipped; a later value overwrites an earlier one. "--trace"
// takes its value the same way and "--no-resume" takes none; neither is a batch option.
Options ScanOptions(const std::vector<std::string>& arguments);

// kExitOk when both file paths are given, else the exit code for the first one missing.
int ValidateOptions(const Options& options);

}  // namespace tallix
