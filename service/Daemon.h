#pragma once

// tallixd from its arguments to its exit code: 0 after SIGTERM or SIGINT, 2 for a bad
// command line, 1 when it cannot start (devices file, state folder, token file, listeners).

#include <string>
#include <vector>

#include "config/Preferences.h"

namespace tallix {

int TallixdMain(int argc, char* argv[]);

// The device entries of a devices file (the preferences-file format), one per distinct
// non-empty Key, as a batch run with -k KEY would find it. Nothing (with why) when the file
// cannot be read or parsed.
std::optional<std::vector<DeviceEntry>> LoadDevices(const std::string& path, std::string& error);

}  // namespace tallix
