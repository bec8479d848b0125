#include "tests/support/TempHome.h"

#include <cstdlib>

namespace tallix::test {

TempHome::TempHome() {
    if (const char* old = std::getenv("HOME")) {
        previous_ = old;
    }
    ::setenv("HOME", dir_.path().c_str(), 1);
}

TempHome::~TempHome() {
    if (previous_) {
        ::setenv("HOME", previous_->c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
}

bool TempHome::writePreferences(const std::string& content) const {
    ::mkdir((path() + "/Library").c_str(), 0777);
    ::mkdir(preferencesFolder().c_str(), 0777);
    return TempDir::WriteFile(preferencesFile(), content);
}

}  // namespace tallix::test
