#include "config/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tallix {
namespace {

// Home folder of the password entry for uid, or of the named user; "" when there is none.
std::string PasswordHome(const char* name) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) {
        size = 16384;
    }
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    const int rc = name != nullptr
                       ? getpwnam_r(name, &entry, buffer.data(), buffer.size(), &found)
                       : getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc != 0 || found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

// Expands a leading "~" or "~name"; the path is unchanged when there is no such home.
std::string ExpandTilde(const std::string& path) {
    if (path.empty() || path[0] != '~') {
        return path;
    }
    const size_t slash = path.find('/');
    const std::string user =
        path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    const std::string home = user.empty() ? HomeFolder() : PasswordHome(user.c_str());
    if (home.empty()) {
        return path;
    }
    return slash == std::string::npos ? home : home + path.substr(slash);
}

}  // namespace

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    return PasswordHome(nullptr);
}

std::string StandardizePath(const std::string& path) {
    std::string expanded = ExpandTilde(path);
    if (expanded.empty()) {
        return expanded;
    }
    const bool absolute = expanded[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= expanded.size()) {
        size_t end = expanded.find('/', start);
        if (end == std::string::npos) {
            end = expanded.size();
        }
        std::string part = expanded.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == ".." && absolute) {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(std::move(part));
    }
    std::string result = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            result += '/';
        }
        result += parts[i];
    }
    // "./" alone names the current folder.
    if (result.empty()) {
        return ".";
    }
    return result;
}

std::string ParentFolder(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') {
        --end;
    }
    const std::string trimmed = path.substr(0, end);
    const size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    size_t folderEnd = slash;
    while (folderEnd > 1 && trimmed[folderEnd - 1] == '/') {
        --folderEnd;
    }
    return trimmed.substr(0, folderEnd);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace tallix
