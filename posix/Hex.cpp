#include "posix/Hex.h"

namespace tallix {
namespace {

constexpr std::string_view kLowerDigits = "0123456789abcdef";
constexpr std::string_view kUpperDigits = "0123456789ABCDEF";
constexpr std::size_t kDigits64 = 16;

}  // namespace

std::string HexText(std::string_view bytes, HexCase letters, std::string_view between) {
    const std::string_view digits = letters == HexCase::kUpper ? kUpperDigits : kLowerDigits;
    std::string text;
    if (bytes.empty()) {
        return text;
    }
    text.reserve(bytes.size() * (2 + between.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += between;
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string HexText(std::span<const uint8_t> bytes, HexCase letters, std::string_view between) {
    return HexText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                   letters, between);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string LowerHex64(uint64_t value) {
    std::string text(kDigits64, '0');
    for (std::size_t i = kDigits64; i-- > 0; value >>= 4) {
        text[i] = kLowerDigits[value & 0x0F];
    }
    return text;
}

std::optional<uint64_t> ParseLowerHex64(std::string_view text) {
    if (text.size() != kDigits64) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c >= 'A' && c <= 'F') {
            return std::nullopt;
        }
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return value;
}

}  // namespace tallix
