#pragma once

// What tallix does with its command line: set-up mode, usage and version, or a batch run.

namespace tallix {

// The whole program behind main: returns the process exit code.
int TallixMain(int argc, char* argv[]);

// The usage text that "--help" prints.
const char* UsageText();

}  // namespace tallix
