#include "device/DeviceTypes.h"

#include <array>

#include "device/VX37RO.h"

namespace tallix {

std::span<const char* const> KnownDeviceTypes() {
    static constexpr std::array<const char*, 1> kTypes{kDeviceTypeVX37};
    return kTypes;
}

std::string DeviceTypeProblem(const std::string& type) {
    std::string types;
    for (const char* known : KnownDeviceTypes()) {
        if (type == known) {
            return {};
        }
        types += types.empty() ? known : std::string(", ") + known;
    }
    if (type.empty()) {
        return "no device type given: the types are " + types;
    }
    return "unknown device type \"" + type + "\": the types are " + types + " (letter case counts)";
}

}  // namespace tallix
