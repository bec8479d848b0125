#include "device/SerialNumberText.h"

#include <cstring>
#include <string_view>

#include "protocol/Windows1250.h"

namespace tallix {

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int continuation = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;  // allowed range of the first continuation byte
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuation = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuation = 2;
            if (lead == 0xE0) {
                low = 0xA0;  // overlong
            } else if (lead == 0xED) {
                high = 0x9F;  // surrogates
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuation = 3;
            if (lead == 0xF0) {
                low = 0x90;  // overlong
            } else if (lead == 0xF4) {
                high = 0x8F;  // past U+10FFFF
            }
        } else {
            return false;
        }
        if (bytes.size() - i - 1 < static_cast<std::size_t>(continuation)) {
            return false;
        }
        for (int k = 1; k <= continuation; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (byte < min || byte > max) {
                return false;
            }
        }
        i += static_cast<std::size_t>(continuation) + 1;
    }
    return true;
}

std::string SerialNumberText(const char (&serialNumber)[kSerialNumberLength]) {
    const void* zero = std::memchr(serialNumber, 0, kSerialNumberLength);
    const std::size_t length =
        zero == nullptr ? kSerialNumberLength
                        : static_cast<std::size_t>(static_cast<const char*>(zero) - serialNumber);
    const std::string_view bytes(serialNumber, length);
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return DecodeWindows1250(bytes);
}

}  // namespace tallix
