#pragma once

// A temporary home folder for one test: HOME points at it while the object lives, so the
// preferences file is <home>/Library/Preferences/com.veltra.tallix.xml.

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace tallix::test {

class TempHome {
  public:
    TempHome() {
        if (const char* old = std::getenv("HOME")) {
            previous_ = old;
        }
        ::setenv("HOME", dir_.path().c_str(), 1);
    }
    ~TempHome() {
        if (previous_) {
            ::setenv("HOME", previous_->c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string folder() const { return dir_.path() + "/Library/Preferences"; }
    std::string preferencesFile() const { return folder() + "/com.veltra.tallix.xml"; }

    // Writes the preferences file (and its folders).
    bool writePreferences(const std::string& content) const;
    std::string readPreferences() const { return TempDir::ReadFile(preferencesFile()); }

  private:
    TempDir dir_;
    std::optional<std::string> previous_;
};

}  // namespace tallix::test
