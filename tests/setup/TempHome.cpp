#include "tests/setup/TempHome.h"

#include <sys/stat.h>

namespace tallix::test {

bool TempHome::writePreferences(const std::string& content) const {
    ::mkdir((path() + "/Library").c_str(), 0777);
    ::mkdir(folder().c_str(), 0777);
    return TempDir::WriteFile(preferencesFile(), content);
}

}  // namespace tallix::test
