#pragma once

// Set-up mode: the set-up window lives in its own executable, tallix-setup, next to tallix.

#include <string>

namespace tallix {

// Name of the set-up window's executable.
constexpr const char* kSetupExecutableName = "tallix-setup";

// Full path of tallix-setup in the folder of the running executable; "" when that folder
// cannot be found.
std::string SetupExecutablePath();

// Replaces this process with tallix-setup, passing argv unchanged. Returns only when that
// fails: then it has written one line on standard error and the result is 127.
int LaunchSetup(char* argv[]);

}  // namespace tallix
