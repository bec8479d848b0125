#pragma once

#include <string>

namespace tallix {

// Width of the paper roll in characters.
constexpr int kPaperWidth = 40;

// Printer bytes as UTF-8 for the paper: 0x20..0x5A as they are; 0x5B..0x5F are the Romanian
// letters Ă Â Î Ș Ț (comma-below forms); any other byte prints as "?".
std::string PrinterBytesToUtf8(const std::string& bytes);

// Characters (not bytes) of a UTF-8 text.
int DisplayWidth(const std::string& utf8);

// One paper line: left text, right text flush right; when both do not fit, left on its own
// line(s) and right on the next.
std::string LeftRight(const std::string& left, const std::string& right);
// A centred line.
std::string Centered(const std::string& text);
// A text cut into lines of the paper width (at least one line, possibly empty).
std::string Wrapped(const std::string& text);
// A full-width rule of the character.
std::string Rule(char c);

}  // namespace tallix
