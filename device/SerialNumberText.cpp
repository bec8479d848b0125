#include "device/SerialNumberText.h"

#include <cstring>
#include <string_view>

#include "protocol/Utf8.h"
#include "protocol/Windows1250.h"

namespace tallix {

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
