#pragma once

// Whether the set-up window has anywhere to appear. Asked before Qt starts: without a display
// Qt aborts the process, and a caller should hear why in one line instead.

#include <string>
#include <vector>

namespace tallix {

// The exit code when there is no display: the code tallix gives when the set-up window
// cannot start.
constexpr int kExitNoDisplay = 127;

// What decides where Qt shows windows; "" for a variable that is unset.
struct DisplaySettings {
    std::string display;         // DISPLAY (X11)
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string qtPlatform;      // QT_QPA_PLATFORM
};

// The settings of this process's environment.
DisplaySettings DisplaySettingsFromEnvironment();

// True when a window can be shown: an X11 or Wayland display is named, or a Qt platform is
// chosen explicitly (QT_QPA_PLATFORM, or "-platform NAME" among the arguments, which Qt
// honours as given, e.g. "offscreen"). arguments excludes the program name.
bool CanShowWindow(const DisplaySettings& settings, const std::vector<std::string>& arguments);

// The one line (with its line end) that tells the user there is no display.
const char* NoDisplayMessage();

}  // namespace tallix
