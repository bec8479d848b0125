#pragma once

// Keeping a file that is about to be replaced: beside it, under its name with the date and time
// appended, so nothing the user had is lost without a word.

#include <ctime>
#include <optional>
#include <string>

namespace tallix {

// "<path>.broken-YYYYMMDD-HHMMSS" in local time; "-2", "-3", … appended by KeepBeside when that
// name is taken.
std::string KeptName(const std::string& path, std::time_t when);

// Keeps the file at path (the target, when path is a symbolic link) under KeptName beside it:
// a second name for the same file where the file system allows, else a copy of its bytes with
// its mode. Never replaces anything. The name it was kept under, or nothing with errorText
// (when given) saying why.
std::optional<std::string> KeepBeside(const std::string& path, std::time_t when,
                                      std::string* errorText = nullptr);

}  // namespace tallix
