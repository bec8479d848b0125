#pragma once

#include <cstdint>

namespace tallix {

// CRC-16 of the printer's frames: polynomial 0x8001, initial value 0, most
// significant bit first, no reflection, no final XOR.
uint16_t CalculateCrC(const uint8_t* bytes, int length);

constexpr uint8_t HIBYTE(uint16_t value) {
    return static_cast<uint8_t>(value >> 8);
}
constexpr uint8_t LOBYTE(uint16_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace tallix
