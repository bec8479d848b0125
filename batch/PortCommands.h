#pragma once

// The two commands that help find the printer: "--list-ports" and "--detect". Unlike batch
// runs they print on the console: results on standard output, trouble on standard error.

#include <cstdio>
#include <string>
#include <vector>

namespace tallix {

// One line per serial port: name, device node, by-id link, USB vendor, model, serial
// number and driver, tab-separated (empty fields stay empty). Returns the exit code.
int ListPorts(std::FILE* out);

// arguments: what follows "--detect": an optional "--all-ids", then ports (paths or names;
// none: every listed port). One line per printer found: port, speed, logical ID, serial
// number, tab-separated. Returns 0 when a printer was found, else 1.
int DetectPrintersCommand(const std::vector<std::string>& arguments, std::FILE* out,
                          std::FILE* err);

}  // namespace tallix
