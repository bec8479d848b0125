#include "batch/SetupLauncher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "batch/ExitCodes.h"
#include "config/Paths.h"
#include "posix/ErrnoText.h"

namespace tallix {

std::string SetupExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return {};
    }
    const std::string self(buffer.data(), static_cast<size_t>(length));
    const std::string folder = ParentFolder(self);
    if (folder.empty()) {
        return {};
    }
    return JoinPath(folder, kSetupExecutableName);
}

int LaunchSetup(char* argv[]) {
    const std::string path = SetupExecutablePath();
    if (path.empty()) {
        (void)std::fprintf(stderr,
                           "tallix: cannot start the set-up window: own folder not found\n");
        return kExitSetupUnavailable;
    }
    char* fallback[] = {const_cast<char*>(kSetupExecutableName), nullptr};
    ::execv(path.c_str(), argv != nullptr && argv[0] != nullptr ? argv : fallback);
    const int error = errno;
    (void)std::fprintf(stderr, "tallix: cannot start the set-up window %s: %s\n", path.c_str(),
                       ErrnoText(error).c_str());
    return kExitSetupUnavailable;
}

}  // namespace tallix
