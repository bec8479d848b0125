#include "sim/CommandFields.h"

#include <cstdlib>

namespace tallix {

std::optional<std::vector<std::string>> SplitFields(const std::string& text) {
    if (text.empty() || text.back() != ';') {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(';', start);
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::optional<int64_t> ParseFixed(const std::string& text, int decimals) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    int64_t value = 0;
    int intDigits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        if (++intDigits > 12) {
            return std::nullopt;
        }
    }
    if (intDigits == 0) {
        return std::nullopt;
    }
    int fracDigits = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++fracDigits > decimals) {
                return std::nullopt;
            }
            value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        if (fracDigits == 0) {
            return std::nullopt;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    for (; fracDigits < decimals; ++fracDigits) {
        value *= 10;
    }
    return negative ? -value : value;
}

std::optional<int> ParseInteger(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    const std::size_t digits = text.size() - pos;
    if (digits == 0 || digits > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[pos] - '0');
    }
    return negative ? -value : value;
}

std::string FormatFixed(int64_t scaled, int decimals) {
    const bool negative = scaled < 0;
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    uint64_t unit = 1;
    for (int i = 0; i < decimals; ++i) {
        unit *= 10;
    }
    std::string fraction = std::to_string(magnitude % unit);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / unit);
    if (decimals > 0) {
        out += "." + fraction;
    }
    return out;
}

}  // namespace tallix
