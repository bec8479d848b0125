#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallix {

// The fields of a command text "F0;F1;...;Fn;": every field ends with ";". nullopt when the
// text is empty or does not end with ";".
std::optional<std::vector<std::string>> SplitFields(const std::string& text);

// A fixed-point number with at most `decimals` decimals ("2.5", "2.50" and "-1" are numbers,
// "10." and ".5" are not), scaled by 10^decimals. Only digits, one optional leading "-" and one "."
// are allowed; at most 12 digits before the point. nullopt for anything else.
std::optional<int64_t> ParseFixed(const std::string& text, int decimals);

// A decimal integer: optional "-" and 1 to 9 digits.
std::optional<int> ParseInteger(const std::string& text);

// A scaled value as text with the given decimals: FormatFixed(-250, 2) is "-2.50".
std::string FormatFixed(int64_t scaled, int decimals);

}  // namespace tallix
