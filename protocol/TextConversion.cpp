#include "protocol/TextConversion.h"

#include <algorithm>
#include <optional>

#include "protocol/Windows1250.h"

namespace tallix {
namespace {

// The printer takes at most this many text bytes from one conversion.
constexpr size_t kMaxConvertedBytes = 254;

std::optional<std::string> ToCodePage(const std::string& text, uint64_t codePage) {
    if (codePage != kEncodingWindows1250) {
        return std::nullopt;
    }
    if (auto exact = EncodeWindows1250(text)) {
        return exact;
    }
    return EncodeWindows1250Lossy(text);
}

// Position of the next ";" at or after pos, stopping at the terminator; -1 when none.
int NextSeparator(const uint8_t* source, int pos) {
    for (int i = pos; source[i] != 0; ++i) {
        if (source[i] == ';') {
            return i;
        }
    }
    return -1;
}

}  // namespace

void MacToChill(const std::string& text, uint64_t codePage, const uint8_t charMap[256],
                uint8_t* destination, int destinationLen) {
    if (destination == nullptr || charMap == nullptr || destinationLen <= 0) {
        return;
    }
    const auto converted = ToCodePage(text, codePage);
    if (!converted) {
        return;
    }
    const size_t kept = std::min(converted->size(), kMaxConvertedBytes);
    const size_t count = std::min(kept, static_cast<size_t>(destinationLen));
    for (size_t i = 0; i < count; ++i) {
        destination[i] = charMap[static_cast<uint8_t>((*converted)[i])];
    }
}

bool ChopField(int index, const uint8_t* source, int sourceLength, uint8_t* destination,
               int destinationLength) {
    if (source == nullptr || index < 0) {
        return false;
    }
    int start = 0;
    for (int k = 0; k < index; ++k) {
        const int separator = NextSeparator(source, start);
        if (separator < 0) {
            return false;
        }
        start = separator + 1;
    }
    const int close = NextSeparator(source, start);
    if (close < 0 || close > sourceLength) {
        return false;
    }
    const int count = std::min(close - start, destinationLength);
    for (int i = 0; i < count; ++i) {
        destination[i] = source[start + i];
    }
    return true;
}

}  // namespace tallix
