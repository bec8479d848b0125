#pragma once

// Builds one command text of ";"-separated fields. Numbers are written the same way under
// every locale: "-" for negative values, "." as decimal point, no grouping, rounded to
// nearest (ties to even) from the stored binary value.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tallix {

// Longest command text the printer's command area takes (200 bytes with a terminator).
constexpr std::size_t kMaxCommandText = 199;

class CommandText {
  public:
    CommandText& text(std::string_view bytes);
    CommandText& integer(int value);
    // Fixed point with exactly `decimals` decimals. A value that is not finite spoils the
    // text: finish() then gives nothing.
    CommandText& fixed(double value, int decimals);

    // The text, or nothing when a number was not finite or the text is longer than
    // maxLength bytes.
    std::optional<std::string> finish(std::size_t maxLength = kMaxCommandText) const;

  private:
    std::string text_;
    bool spoiled_ = false;
};

}  // namespace tallix
