#pragma once

// Numbers that make up a whole text, as programs write them into files of their own: for
// reading such files back strictly.

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

namespace tallix {

// The decimal number that is all of text: digits, with a leading "-" for signed types; no
// blanks, no "+", no other form, nothing beyond the type's range. Nothing for any other text.
template <typename Integer>
std::optional<Integer> ParseWholeNumber(std::string_view text) {
    Integer value{};
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tallix
