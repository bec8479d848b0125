#include "config/KeptCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "posix/ErrnoText.h"
#include "posix/UniqueFd.h"

namespace tallix {
namespace {

constexpr int kNameAttempts = 100;  // files kept within one second before giving up

bool Fail(std::string* errorText, const std::string& what, int error) {
    if (errorText != nullptr) {
        *errorText = what + ": " + ErrnoText(error);
    }
    return false;
}

// The file path finally names, or path itself when it cannot be resolved.
std::string Target(const std::string& path) {
    std::array<char, PATH_MAX> resolved{};
    return ::realpath(path.c_str(), resolved.data()) != nullptr ? std::string(resolved.data())
                                                                : path;
}

bool CopyAll(int from, int to) {
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t count = ::read(from, buffer.data(), buffer.size());
        if (count == 0) {
            return true;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < count;) {
            const ssize_t written =
                ::write(to, buffer.data() + done, static_cast<size_t>(count - done));
            if (written < 0 && errno != EINTR) {
                return false;
            }
            done += written > 0 ? written : 0;
        }
    }
}

// A copy under name, created anew (never over an existing file). 0, or the errno of the step
// that failed (EEXIST when the name is taken); what names the file it concerns.
int CopyTo(const std::string& source, const std::string& name, std::string& what) {
    what = source;
    const UniqueFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!from || ::fstat(from.get(), &info) != 0) {
        return errno;
    }
    what = name;
    UniqueFd to(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777));
    if (!to) {
        return errno;
    }
    if (!CopyAll(from.get(), to.get()) || ::fsync(to.get()) != 0 || !to.close()) {
        const int error = errno;
        ::unlink(name.c_str());
        return error;
    }
    return 0;
}

}  // namespace

std::string KeptName(const std::string& path, std::time_t when) {
    std::tm local{};
    std::array<char, 32> stamp{};
    if (::localtime_r(&when, &local) == nullptr ||
        std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local) == 0) {
        return path + ".broken";
    }
    return path + ".broken-" + stamp.data();
}

std::optional<std::string> KeepBeside(const std::string& path, std::time_t when,
                                      std::string* errorText) {
    const std::string source = Target(path);
    const std::string base = KeptName(path, when);
    for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
        const std::string name = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::link(source.c_str(), name.c_str()) == 0) {
            return name;
        }
        if (errno == EEXIST) {
            continue;
        }
        std::string what;
        const int error = CopyTo(source, name, what);
        if (error == 0) {
            return name;
        }
        if (error != EEXIST) {
            Fail(errorText, what, error);
            return std::nullopt;
        }
    }
    Fail(errorText, base, EEXIST);
    return std::nullopt;
}

}  // namespace tallix
