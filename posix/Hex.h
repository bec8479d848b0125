#pragma once

// Hexadecimal digits: bytes shown as text, and 64-bit values in fixed-width fields.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tallix {

enum class HexCase : uint8_t { kLower, kUpper };

// Two digits per byte, between (if any) between bytes: "0A 41 0D".
std::string HexText(std::string_view bytes, HexCase letters, std::string_view between = {});
std::string HexText(std::span<const uint8_t> bytes, HexCase letters, std::string_view between = {});

// The value of one digit 0-9, a-f or A-F; -1 for any other character.
int HexDigitValue(char c);

// value as exactly 16 lower-case digits.
std::string LowerHex64(uint64_t value);

// The value of exactly 16 lower-case digits; nothing for any other text.
std::optional<uint64_t> ParseLowerHex64(std::string_view text);

}  // namespace tallix
