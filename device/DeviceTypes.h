#pragma once

// The device types this program drives, as the preferences, the command line (-t) and the
// set-up window name them. Letter case counts.

#include <span>
#include <string>

namespace tallix {

std::span<const char* const> KnownDeviceTypes();

// Why type names no device this program drives, saying which types there are: "no device type
// given: the types are VX-37", "unknown device type "vx-37": the types are VX-37 (letter case
// counts)". "" for a known type.
std::string DeviceTypeProblem(const std::string& type);

}  // namespace tallix
