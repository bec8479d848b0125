#include "device/CommandText.h"

#include <charconv>
#include <cmath>

namespace tallix {

CommandText& CommandText::text(std::string_view bytes) {
    text_.append(bytes);
    return *this;
}

CommandText& CommandText::integer(int value) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;  // eleven characters always fit
    text_.append(digits, end);
    return *this;
}

CommandText& CommandText::fixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        spoiled_ = true;
        return *this;
    }
    // 309 integer digits, a sign, a point and the decimals at the most.
    char digits[400];
    const auto [end, ec] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        spoiled_ = true;
        return *this;
    }
    text_.append(digits, end);
    return *this;
}

std::optional<std::string> CommandText::finish(std::size_t maxLength) const {
    if (spoiled_ || text_.size() > maxLength) {
        return std::nullopt;
    }
    return text_;
}

}  // namespace tallix
