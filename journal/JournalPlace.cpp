#include "journal/JournalPlace.h"

#include <cstdlib>

#include "config/Paths.h"

namespace tallix {
namespace {

constexpr std::size_t kLongestName = 64;

bool KeptAsIs(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

std::string JournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return JoinPath(StandardizePath(state), "tallix");
    }
    const std::string home = HomeFolder();
    if (home.empty() || home[0] != '/') {
        return {};
    }
    return JoinPath(StandardizePath(home), ".local/state/tallix");
}

std::string SafePrinterName(std::string_view serialNumber) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (const char c : serialNumber) {
        if (KeptAsIs(c)) {
            name.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            name.push_back('%');
            name.push_back(kHex[byte >> 4]);
            name.push_back(kHex[byte & 0x0F]);
        }
    }
    if (name.size() > kLongestName) {
        return {};
    }
    return name;
}

std::string JournalPath(const std::string& folder, std::string_view serialNumber) {
    const std::string name = SafePrinterName(serialNumber);
    if (folder.empty() || name.empty()) {
        return {};
    }
    return JoinPath(folder, name + ".journal");
}

}  // namespace tallix
