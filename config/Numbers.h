#pragma once

// Numbers at the start of texts, independent of the locale.

#include <cstdint>
#include <string_view>

namespace tallix {

// The decimal integer at the start of text: leading blanks (space, tab, line end, vertical
// tab, form feed) skipped, an optional "+" or "-", then decimal digits up to the first other
// character. 0 when there are no digits; values beyond the 32-bit range give INT32_MIN or
// INT32_MAX.
int32_t ParseLeadingInt(std::string_view text);

}  // namespace tallix
