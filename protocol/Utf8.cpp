#include "protocol/Utf8.h"

#include <cstdint>

namespace tallix {

Utf8Char DecodeUtf8(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t need = 0;
    char32_t value = 0;
    char32_t low = 0;  // smallest code point of this length (no overlong forms)
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        value = lead & 0x1F;
        low = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        value = lead & 0x0F;
        low = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        value = lead & 0x07;
        low = 0x10000;
    } else {
        return {std::nullopt, 1};
    }
    std::size_t length = 1;
    for (std::size_t k = 0; k < need; ++k) {
        if (pos + length >= text.size()) {
            return {std::nullopt, length};
        }
        const auto next = static_cast<uint8_t>(text[pos + length]);
        if ((next & 0xC0) != 0x80) {
            return {std::nullopt, length};
        }
        value = (value << 6) | (next & 0x3F);
        ++length;
    }
    if (value < low || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {std::nullopt, length};
    }
    return {value, length};
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Utf8Char decoded = DecodeUtf8(bytes, pos);
        if (!decoded.codePoint) {
            return false;
        }
        pos += decoded.length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace tallix
