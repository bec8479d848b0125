#pragma once

// A fresh temporary folder that stands in for $HOME during one test, removed afterwards,
// and a scoped umask. Used by the preferences and device-selection tests.

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace tallix::test {

class TempHome {
  public:
    TempHome() {
        std::string pattern = "/tmp/tallix-home-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
        const char* old = std::getenv("HOME");
        hadOld_ = old != nullptr;
        old_ = hadOld_ ? old : "";
        ::setenv("HOME", path_.c_str(), 1);
    }
    ~TempHome() {
        if (hadOld_) {
            ::setenv("HOME", old_.c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
        if (!path_.empty()) {
            // Folders made read-only by a test must not stop the clean-up.
            ::nftw(
                path_.c_str(),
                [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
                FTW_DEPTH | FTW_PHYS);
        }
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return path_; }
    std::string preferencesFolder() const { return path_ + "/Library/Preferences"; }
    std::string preferencesFile() const { return preferencesFolder() + "/com.veltra.tallix.xml"; }

    // Writes the preferences file (and its folders) with exactly these bytes.
    void writePreferences(const std::string& bytes) const {
        ::mkdir((path_ + "/Library").c_str(), 0777);
        ::mkdir(preferencesFolder().c_str(), 0777);
        std::ofstream(preferencesFile(), std::ios::binary | std::ios::trunc) << bytes;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static mode_t ModeOf(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }

  private:
    std::string path_;
    std::string old_;
    bool hadOld_ = false;
};

// Sets the process's file-creation mask for one scope.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t old_;
};

}  // namespace tallix::test
