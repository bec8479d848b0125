#pragma once

// Where a printer's job journal lives.

#include <string>
#include <string_view>

namespace tallix {

// The folder of the journals: $XDG_STATE_HOME/tallix when that variable holds an absolute
// path, else <home>/.local/state/tallix; "" when there is no absolute home folder either.
std::string JournalFolder();

// A serial number made safe as a file name: ASCII letters, digits, "-" and "_" stay, every
// other byte becomes "%XX" (upper-case hex), so distinct serial numbers give distinct names
// and none is "." or ".." or holds a "/". "" when the serial number is empty or its safe form
// would be longer than 64 characters.
std::string SafePrinterName(std::string_view serialNumber);

// <folder>/<safe name>.journal; "" when folder is "" or the serial number has no safe name.
std::string JournalPath(const std::string& folder, std::string_view serialNumber);

}  // namespace tallix
