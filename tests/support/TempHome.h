#pragma once

// A temporary home folder for one test: HOME points at it while the object lives, so the
// preferences file is <home>/Library/Preferences/com.veltra.tallix.xml. Also a scoped umask.

#include <sys/stat.h>

#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace tallix::test {

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string preferencesFolder() const { return dir_.path() + "/Library/Preferences"; }
    std::string preferencesFile() const { return preferencesFolder() + "/com.veltra.tallix.xml"; }

    // Writes the preferences file (and its folders) with exactly these bytes.
    bool writePreferences(const std::string& content) const;
    std::string readPreferences() const { return TempDir::ReadFile(preferencesFile()); }

  private:
    TempDir dir_;
    std::optional<std::string> previous_;
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
