#pragma once

// Path texts as the program uses them: standardised form and folder part.

#include <string>

namespace tallix {

// The user's home folder: $HOME when set and not empty, else the password entry's folder,
// else "".
std::string HomeFolder();

// Standard form of a path: a leading "~" (alone or before "/") becomes the home folder and
// "~name" that user's home folder; empty and "." components and a trailing "/" are dropped;
// in an absolute path ".." removes the component before it (lexically, symbolic links are
// not followed; ".." at the root stays at the root). Relative paths keep their "..".
// "" stays "".
std::string StandardizePath(const std::string& path);

// The folder part of a path: everything before the last "/", "/" for a file in the root,
// "" when the path has no folder part. Trailing "/" are ignored.
std::string ParentFolder(const std::string& path);

// folder + "/" + name, without doubling a "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tallix
