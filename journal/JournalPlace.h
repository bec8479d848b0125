#pragma once

// Where a printer's job journal lives, and how its folder and file are opened.
//
// The journal decides which command lines a run sends, so a journal that someone else could
// have written is never used: its folder must belong to this user and be writable by nobody
// else, and a journal file is only read when it is a regular file of this user's. Files in
// the folder are opened, replaced and removed relative to the folder's descriptor, never
// through a symbolic link: a link planted there is refused or replaced, and its target is
// never written.

#include <string>
#include <string_view>

#include "posix/UniqueFd.h"

namespace tallix {

// The folder of the journals: $XDG_STATE_HOME/tallix when that variable holds an absolute
// path, else <home>/.local/state/tallix; "" when there is no absolute home folder either.
std::string JournalFolder();

// A serial number made safe as a file name: ASCII letters, digits, "-" and "_" stay, every
// other byte becomes "%XX" (upper-case hex), so distinct serial numbers give distinct names
// and none is "." or ".." or holds a "/". "" when the serial number is empty or its safe form
// would be longer than 64 characters.
std::string SafePrinterName(std::string_view serialNumber);

// <safe name>.journal; "" when the serial number has no safe name.
std::string JournalFileName(std::string_view serialNumber);

// <folder>/<safe name>.journal; "" when folder is "" or the serial number has no safe name.
std::string JournalPath(const std::string& folder, std::string_view serialNumber);

// A journal folder or file as opened for the journal: fd when it can be used, otherwise why
// not.
struct JournalOpening {
    UniqueFd fd;
    // Nothing exists under the name (files only): a journal can be made there.
    bool missing = false;
    // It exists but is not trusted: someone else could have written or planted it.
    bool distrusted = false;
    // What was found, a few words after the folder's or the file's name ("is a symbolic
    // link"); "" when fd is valid or the file is missing.
    std::string problem;
};

// Opens folder, making it first (mode 0700, with every missing folder above it) when it is
// missing. Refused (distrusted) unless it belongs to this user and neither its group nor
// others may write to it.
JournalOpening OpenJournalFolder(const std::string& folder);

// Opens the file name in the open folder for reading and writing without following a
// symbolic link (a link is distrusted) and without waiting on a FIFO. Refused (distrusted)
// unless it is a regular file that belongs to this user.
JournalOpening OpenJournalFile(int folder, const std::string& name);

// Replaces the file name in the open folder with a new file (0600 before the umask) holding
// bytes, durable with its folder entry when this returns: the bytes go to ".<name>.new",
// which is synced and renamed over name. Neither name is followed: whatever is at the
// temporary name (a leftover of a run that was killed, or a link) is removed first, and the
// rename replaces a link at name, not its target. Only the run that holds the printer's port
// writes its journal, so no other writer uses the temporary name meanwhile. Returns the new
// file open for reading and writing; invalid, with problem set, when it failed (then nothing
// is left at the temporary name).
UniqueFd ReplaceJournalFile(int folder, const std::string& name, std::string_view bytes,
                            std::string& problem);

// Writes all of bytes at offset; false with errno set when it failed.
bool WriteAt(int fd, std::string_view bytes, std::size_t offset);

}  // namespace tallix
