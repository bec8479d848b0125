#pragma once

// Texts to the printer's bytes, and fields out of ";"-separated answers.

#include <cstdint>
#include <string>

namespace tallix {

// String-encoding identifier of Windows-1250 (Central European).
constexpr uint64_t kEncodingWindows1250 = 15;

// Converts text (UTF-8) to the code page, exactly when it can and with loss otherwise, keeps
// at most 254 bytes, and writes charMap[byte] for each kept byte into destination, at most
// destinationLen bytes. No terminator, no zero fill. An unknown code page writes nothing.
void MacToChill(const std::string& text, uint64_t codePage, const uint8_t charMap[256],
                uint8_t* destination, int destinationLen);

// Copies field index (from 0) of the ";"-separated, zero-terminated source into destination,
// at most destinationLength bytes, no terminator. A field exists only when a ";" closes it
// within sourceLength bytes. False when it does not exist (destination untouched).
bool ChopField(int index, const uint8_t* source, int sourceLength, uint8_t* destination,
               int destinationLength);

}  // namespace tallix
