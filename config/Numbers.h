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

// The decimal number at the start of text, whatever the locale: leading blanks skipped, an
// optional sign, digits with an optional "." and fraction digits (".5" and "5." count), and
// an optional exponent ("e" or "E", optional sign, digits) as a C program reading the
// number would take it. 0 when there is no number; "inf", "nan" and hexadecimal forms are
// not numbers ("0x10" reads as 0). A value too large for a double is infinite, one too
// small is 0.
double ParseLeadingDecimal(std::string_view text);

}  // namespace tallix
