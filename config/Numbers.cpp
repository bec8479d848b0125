#include "config/Numbers.h"

#include <charconv>
#include <limits>

namespace tallix {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where a number's digits start: after leading blanks and an optional "+" or "-" (which sets
// negative).
std::size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

// Where the number ends when an exponent may start at i: past the exponent, whose value is
// added to magnitude, or i itself. An exponent counts only when at least one digit follows
// its letter and sign.
std::size_t SkipExponent(std::string_view text, std::size_t i, long long& magnitude) {
    if (i >= text.size() || (text[i] != 'e' && text[i] != 'E')) {
        return i;
    }
    std::size_t exponent = i + 1;
    bool negativeExponent = false;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
        negativeExponent = text[exponent] == '-';
        ++exponent;
    }
    if (exponent >= text.size() || !IsDigit(text[exponent])) {
        return i;
    }
    long long value = 0;
    while (exponent < text.size() && IsDigit(text[exponent])) {
        if (value < 100000) {
            value = value * 10 + (text[exponent] - '0');
        }
        ++exponent;
    }
    magnitude += negativeExponent ? -value : value;
    return exponent;
}

}  // namespace

int32_t ParseLeadingInt(std::string_view text) {
    return LeadingInt(text).value_or(0);
}

std::optional<int32_t> LeadingInt(std::string_view text) {
    bool negative = false;
    size_t i = SkipBlanksAndSign(text, negative);
    if (i == text.size() || !IsDigit(text[i])) {
        return std::nullopt;
    }
    if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        return std::nullopt;
    }
    // Accumulate the magnitude up to just past the 32-bit limits, then saturate.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    while (i < text.size() && IsDigit(text[i])) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
        ++i;
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    if (magnitude >= kLimit) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(magnitude);
}

double ParseLeadingDecimal(std::string_view text) {
    bool negative = false;
    std::size_t i = SkipBlanksAndSign(text, negative);
    const std::size_t begin = i;
    // Decimal magnitude of the mantissa's leading digit, to tell overflow from underflow.
    long long magnitude = 0;
    bool seenNonZero = false;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (seenNonZero || text[i] != '0') {
            if (seenNonZero) {
                ++magnitude;
            }
            seenNonZero = true;
        }
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction = i + 1;
        while (fraction < text.size() && IsDigit(text[fraction])) {
            if (!seenNonZero) {
                --magnitude;
                if (text[fraction] != '0') {
                    seenNonZero = true;
                }
            }
            ++fraction;
            ++digits;
        }
        i = fraction;
    }
    if (digits == 0 || !seenNonZero) {
        return 0.0;
    }
    i = SkipExponent(text, i, magnitude);
    double value = 0.0;
    const char* first = text.data() + begin;
    const char* last = text.data() + i;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || end != last) {
        return 0.0;
    }
    return negative ? -value : value;
}

}  // namespace tallix
