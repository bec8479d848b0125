#include "setup/DisplayCheck.h"

#include <cstdlib>

namespace tallix {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

DisplaySettings DisplaySettingsFromEnvironment() {
    return DisplaySettings{Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"),
                           Variable("QT_QPA_PLATFORM")};
}

bool CanShowWindow(const DisplaySettings& settings, const std::vector<std::string>& arguments) {
    if (!settings.display.empty() || !settings.waylandDisplay.empty() ||
        !settings.qtPlatform.empty()) {
        return true;
    }
    // Qt takes its own options with one or two dashes.
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if ((arguments[i] == "-platform" || arguments[i] == "--platform") &&
            !arguments[i + 1].empty()) {
            return true;
        }
    }
    return false;
}

const char* NoDisplayMessage() {
    return "tallix-setup: no display to show the set-up window on (neither DISPLAY nor "
           "WAYLAND_DISPLAY is set; QT_QPA_PLATFORM=offscreen runs without one)\n";
}

}  // namespace tallix
