#include "protocol/Windows1250.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "protocol/Utf8.h"

namespace tallix {
namespace {

// Unicode code point of each byte 0x80..0xFF. The five bytes the code page leaves
// undefined stand for U+0081, U+0083, U+0088, U+0090 and U+0098, so they survive a round trip.
constexpr std::array<char32_t, 128> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // 0xF8
};

using ReverseEntry = std::pair<char32_t, uint8_t>;

// The high half sorted by code point, for encoding.
const std::array<ReverseEntry, 128>& ReverseTable() {
    static const std::array<ReverseEntry, 128> table = [] {
        std::array<ReverseEntry, 128> sorted{};
        for (size_t i = 0; i < kHighHalf.size(); ++i) {
            sorted[i] = {kHighHalf[i], static_cast<uint8_t>(0x80 + i)};
        }
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }();
    return table;
}

std::optional<uint8_t> ByteOf(char32_t codePoint) {
    if (codePoint < 0x80) {
        return static_cast<uint8_t>(codePoint);
    }
    const auto& table = ReverseTable();
    const auto it = std::lower_bound(table.begin(), table.end(), ReverseEntry{codePoint, 0});
    if (it != table.end() && it->first == codePoint) {
        return it->second;
    }
    return std::nullopt;
}

// Comma-below letters that the code page has only in their cedilla form.
char32_t CedillaForm(char32_t codePoint) {
    switch (codePoint) {
        case 0x0218:
            return 0x015E;  // Ș -> Ş
        case 0x0219:
            return 0x015F;  // ș -> ş
        case 0x021A:
            return 0x0162;  // Ț -> Ţ
        case 0x021B:
            return 0x0163;  // ț -> ţ
        default:
            return codePoint;
    }
}

}  // namespace

std::string DecodeWindows1250(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        AppendUtf8(out, byte < 0x80 ? char32_t{byte} : kHighHalf[byte - 0x80]);
    }
    return out;
}

std::optional<std::string> EncodeWindows1250(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const Utf8Char decoded = DecodeUtf8(utf8, pos);
        if (!decoded.codePoint) {
            return std::nullopt;
        }
        const auto byte = ByteOf(*decoded.codePoint);
        if (!byte) {
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
        pos += decoded.length;
    }
    return out;
}

std::string EncodeWindows1250Lossy(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const Utf8Char decoded = DecodeUtf8(utf8, pos);
        pos += decoded.length;
        const auto byte =
            decoded.codePoint ? ByteOf(CedillaForm(*decoded.codePoint)) : std::nullopt;
        out += byte ? static_cast<char>(*byte) : '?';
    }
    return out;
}

}  // namespace tallix
