#pragma once

// The VX-37's character map: entry i is the printer byte for Windows-1250 byte i. The printer
// receives only 0x20..0x5F: capitals, digits, signs and five Romanian letters.

#include <array>
#include <cstdint>

namespace tallix {

const std::array<uint8_t, 256>& VX37ROCharacterMap();

}  // namespace tallix
