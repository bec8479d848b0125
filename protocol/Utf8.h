#pragma once

// UTF-8 read and written in one place: strict decoding (no overlong forms, surrogates or
// values past U+10FFFF) and encoding of a code point.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tallix {

// One UTF-8 sequence at text[pos] (pos < text.size()). A valid one gives its code point and
// length; an invalid one gives no code point and the length of its longest valid-looking
// start (at least 1), so a decoder can step over it.
struct Utf8Char {
    std::optional<char32_t> codePoint;
    std::size_t length = 1;
};
Utf8Char DecodeUtf8(std::string_view text, std::size_t pos);

// True when bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace tallix
