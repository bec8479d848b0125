#include "protocol/Checksum.h"

namespace tallix {

uint16_t CalculateCrC(const uint8_t* bytes, int length) {
    uint16_t acc = 0;
    for (int i = 0; i < length; ++i) {
        uint8_t byte = bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool flag = ((HIBYTE(acc) ^ byte) & 0x80) != 0;
            acc = static_cast<uint16_t>(acc << 1);
            byte = static_cast<uint8_t>(byte << 1);
            if (flag) {
                acc ^= 0x8001;
            }
        }
    }
    return acc;
}

}  // namespace tallix
