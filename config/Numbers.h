#pragma once

// Numbers at the start of texts, independent of the locale.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallix {

// The decimal integer at the start of text: leading blanks (space, tab, line end, vertical
// tab, form feed) skipped, an optional "+" or "-", then decimal digits up to the first other
// character. 0 when there are no digits; values beyond the 32-bit range give INT32_MIN or
// INT32_MAX.
int32_t ParseLeadingInt(std::string_view text);

// The same integer, but nothing when no digit follows the blanks and the sign, or when the
// text starts as a hexadecimal form ("0x", "0X"), which ParseLeadingInt reads as 0. For
// fields where text read as 0 must not pass for a 0 that was written.
std::optional<int32_t> LeadingInt(std::string_view text);

}  // namespace tallix
