#pragma once

// Windows-1250 (code page 1250) in both directions, from our own 256-entry table.

#include <optional>
#include <string>
#include <string_view>

namespace tallix {

// Bytes to UTF-8. The five bytes that the code page leaves undefined (0x81, 0x83, 0x88,
// 0x90, 0x98) decode to U+0081 and so on.
std::string DecodeWindows1250(std::string_view bytes);

// UTF-8 to bytes, exactly: nothing when a character has no place in the code page (or the
// text is not valid UTF-8).
std::optional<std::string> EncodeWindows1250(std::string_view utf8);

// UTF-8 to bytes with loss: the Romanian letters with comma below become their cedilla forms,
// every other character that the code page lacks (and every invalid sequence) becomes "?".
std::string EncodeWindows1250Lossy(std::string_view utf8);

}  // namespace tallix
